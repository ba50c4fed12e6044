#include "Biz/AppState.h"

#include <gtest/gtest.h>

TEST(AppState, UploadingLastsWhileAnyControlsRunGoes)
{
    AppState state;
    EXPECT_FALSE(state.IsUploading());
    state.BeginRun();
    state.BeginRun();
    state.EndRun();
    EXPECT_TRUE(state.IsUploading()) << "the other control's run is still going";
    state.EndRun();
    EXPECT_TRUE(state.IsStopped());
    state.EndRun(); // an end without a beginning changes nothing
    state.BeginRun();
    EXPECT_TRUE(state.IsUploading());
}
