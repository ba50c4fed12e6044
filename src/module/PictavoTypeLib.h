#pragma once

#include "Biz/IPictavo.h"
#include "platform/com/TypeDescription.h"

#include <string_view>

inline constexpr GUID LIBID_PictavoATLLib =
    pictavo::platform::makeGuid("8FBFA919-201A-421C-907A-494F9A069026");
inline constexpr CLSID CLSID_Pictavo = pictavo::platform::makeGuid("2D429495-D446-48F5-9E8C-43F7ABD5FA40");

// PictavoATLLib: the library, IPictavo with every member, the Pictavo coclass and the
// declarations of IDispatchEx and IServiceProvider the library carries.
const pictavo::platform::TypeLibrary& PictavoTypeLibrary();

// Writes TypeLib\{libid}\1.0 and the Interface keys of the library's dual and automation
// interfaces under the classes root (whatever it is mapped to for the call).
HRESULT RegisterPictavoTypeLibrary(std::u16string_view modulePath);
// Removes them again; Interface keys are removed only while they still name this library.
HRESULT UnregisterPictavoTypeLibrary();
