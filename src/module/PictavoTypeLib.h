#pragma once

#include "platform/com/TypeDescription.h"

// PictavoATLLib: the library, IPictavo with every member, the Pictavo coclass and the
// declarations of IDispatchEx and IServiceProvider the library carries.
const TypeLibraryDescription& PictavoTypeLibrary();

extern const IID IID_IPictavo;
extern const CLSID CLSID_Pictavo;
extern const GUID LIBID_PictavoATLLib;
