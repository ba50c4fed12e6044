#include "PictureFiles.h"

#include "platform/com/ComPtr.h"
#include "platform/com/HResult.h"
#include "platform/com/Resource.h"
#include "platform/gfx/GdiPlus.h"
#include "platform/gfx/Stream.h"

#include <gtest/gtest.h>

using namespace pictavo::test;

TEST(Streams, MemoryStreamReadsSeeksWritesAndAnswersItsInterfaces)
{
    const BYTE data[] = {1, 2, 3, 4, 5};
    IStream* s = SHCreateMemStream(data, sizeof data);
    ASSERT_NE(s, nullptr);
    BYTE buf[8] = {};
    ULONG n = 0;
    EXPECT_EQ(s->Read(buf, 3, &n), S_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(s->Read(buf, 8, &n), S_FALSE) << "short read at the end";
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(buf[0], 4);
    LARGE_INTEGER back{};
    back.QuadPart = -1;
    ULARGE_INTEGER pos{};
    EXPECT_EQ(s->Seek(back, STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 4u);
    back.QuadPart = -10;
    EXPECT_NE(s->Seek(back, STREAM_SEEK_SET, nullptr), S_OK) << "before the start";
    const BYTE more[] = {9, 9};
    EXPECT_EQ(s->Write(more, 2, &n), S_OK);
    STATSTG stat{};
    s->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 6u);
    ISequentialStream* seq = nullptr;
    EXPECT_EQ(s->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&seq)), S_OK);
    seq->Release();
    EXPECT_EQ(s->Release(), 0u);
}

TEST(Streams, BitmapsComeFromStreamsAndResources)
{
    Bytes png = makePng();
    IStream* s = SHCreateMemStream(png.data(), static_cast<UINT>(png.size()));
    GpBitmap* bmp = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromStream(s, &bmp), Ok);
    UINT w = 0;
    GdipGetImageWidth(bmp, &w);
    EXPECT_EQ(w, 4u);
    GdipDisposeImage(bmp);
    s->Release();

    const BYTE junk[] = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
    s = SHCreateMemStream(junk, sizeof junk);
    EXPECT_EQ(GdipCreateBitmapFromStream(s, &bmp), UnknownImageFormat);
    EXPECT_EQ(bmp, nullptr);
    s->Release();

    static int anchor;
    auto module = reinterpret_cast<HMODULE>(&anchor);
    pictavo::platform::ResourceEntry entries[] = {
        {u"PNG", 0, nullptr, 249, png.data(), static_cast<DWORD>(png.size())}};
    pictavo::platform::registerResources(module, entries);
    ASSERT_EQ(GdipCreateBitmapFromResource(module, MAKEINTRESOURCEW(249), &bmp), Ok);
    BitmapData data{};
    GpRect all{0, 0, 4, 2};
    ASSERT_EQ(GdipBitmapLockBits(bmp, &all, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
    EXPECT_EQ(static_cast<BYTE*>(data.Scan0)[data.Stride + 3 * 4 + 3], 128) << "the resource keeps its alpha";
    GdipBitmapUnlockBits(bmp, &data);
    GdipDisposeImage(bmp);
    EXPECT_NE(GdipCreateBitmapFromResource(module, MAKEINTRESOURCEW(250), &bmp), Ok);
    pictavo::platform::unregisterResources(module);
}
