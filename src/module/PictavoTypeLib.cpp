#include "module/PictavoTypeLib.h"

#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"

using namespace pictavo::platform;

namespace {

constexpr WORD In = PARAMFLAG_FIN;
constexpr WORD OutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

constexpr TypeParam dispatchArg[] = {{u"newVal", VT_DISPATCH, In}};
constexpr TypeParam boolArg[] = {{u"newVal", VT_BOOL, In}};
constexpr TypeParam bstrArg[] = {{u"newVal", VT_BSTR, In}};
constexpr TypeParam ushortArg[] = {{u"newVal", VT_UI2, In}};
constexpr TypeParam longArg[] = {{u"newVal", VT_I4, In}};
constexpr TypeParam filesArg[] = {{u"files", VT_VARIANT, OutRetval}};
constexpr TypeParam fieldArgs[] = {{u"fieldName", VT_BSTR, In}, {u"fieldValue", VT_BSTR, In}};
constexpr TypeParam countArg[] = {{u"val", VT_I4, OutRetval}};

constexpr MemberKind Put = MemberKind::PropertyPut;
constexpr MemberKind Method = MemberKind::Method;

constexpr TypeMember pictavoMembers[] = {
    {PictavoDispId::Object, u"Object", Put, dispatchArg, u"属性 Object"},
    {PictavoDispId::Debug, u"Debug", Put, boolArg, u"属性 Debug"},
    {PictavoDispId::LogFile, u"LogFile", Put, bstrArg, u"属性 LogFile"},
    {PictavoDispId::PostUrl, u"PostUrl", Put, bstrArg, u"属性 PostUrl"},
    {PictavoDispId::Watermark, u"Watermark", Put, boolArg, u"属性 Watermark"},
    {PictavoDispId::ThumbnailWidth, u"ThumbnailWidth", Put, ushortArg, u"属性 ThumbnailWidth"},
    {PictavoDispId::ThumbnailHeight, u"ThumbnailHeight", Put, ushortArg, u"属性 ThumbnailHeight"},
    {PictavoDispId::ViewWidth, u"ViewWidth", Put, ushortArg, u"属性 ViewWidth"},
    {PictavoDispId::ViewHeight, u"ViewHeight", Put, ushortArg, u"属性 ViewHeight"},
    {PictavoDispId::ImgSizeLimit, u"ImgSizeLimit", Put, longArg, u"属性 ImgSizeLimit"},
    {PictavoDispId::ImgCountLimit, u"ImgCountLimit", Put, longArg, u"属性 ImgCountLimit"},
    {PictavoDispId::CompressSizeLimit, u"CompressSizeLimit", Put, longArg, u"属性 CompressSizeLimit"},
    {PictavoDispId::FileFieldName, u"FileFieldName", Put, bstrArg, u"属性 FileFieldName"},
    {PictavoDispId::EncodeType, u"EncodeType", Put, bstrArg, u"属性 EncodeType"},
    {PictavoDispId::UploadFormat, u"UploadFormat", Put, bstrArg, u"属性 UploadFormat"},
    {PictavoDispId::JpegQuality, u"JpegQuality", Put, ushortArg, u"属性 JpegQuality"},
    {PictavoDispId::DefaultFolder, u"DefaultFolder", Put, bstrArg, u"属性 DefaultFolder"},
    {PictavoDispId::AfterImagesPosted, u"AfterImagesPosted", Put, dispatchArg, u"属性 AfterImagesPosted"},
    {PictavoDispId::OnImagesPosted, u"OnImagesPosted", Method, {}, u"方法OnImagesPosted"},
    {PictavoDispId::GetPostedFiles, u"GetPostedFiles", Method, filesArg, u"方法GetPostedFiles"},
    {PictavoDispId::AddField, u"AddField", Method, fieldArgs, u"方法AddField"},
    {PictavoDispId::ClearFields, u"ClearFields", Method, {}, u"方法ClearFields"},
    {PictavoDispId::GetCount, u"GetCount", Method, countArg, u"方法GetCount"},
    {PictavoDispId::Clear, u"Clear", Method, {}, u"方法Clear"},
};

// IDispatchEx and IServiceProvider are plain vtable interfaces here: their members carry
// the ids a type library gives vtable functions, in slot order.
constexpr DISPID kFirstVtableId = 0x60020000;

constexpr TypeParam getDispIdArgs[] = {
    {u"bstrName", VT_BSTR, In}, {u"grfdex", VT_UI4, In}, {u"pid", VT_I4, PARAMFLAG_FOUT}};
constexpr TypeParam invokeExArgs[] = {{u"id", VT_I4, In},
                                      {u"lcid", VT_UI4, In},
                                      {u"wFlags", VT_UI2, In},
                                      {u"pdp", VT_PTR, In},
                                      {u"pvarRes", VT_VARIANT, PARAMFLAG_FOUT},
                                      {u"pei", VT_PTR, PARAMFLAG_FOUT},
                                      {u"pspCaller", VT_UNKNOWN, In}};
constexpr TypeParam deleteByNameArgs[] = {{u"bstrName", VT_BSTR, In}, {u"grfdex", VT_UI4, In}};
constexpr TypeParam deleteByIdArgs[] = {{u"id", VT_I4, In}};
constexpr TypeParam memberPropertiesArgs[] = {
    {u"id", VT_I4, In}, {u"grfdexFetch", VT_UI4, In}, {u"pgrfdex", VT_UI4, PARAMFLAG_FOUT}};
constexpr TypeParam memberNameArgs[] = {{u"id", VT_I4, In}, {u"pbstrName", VT_BSTR, PARAMFLAG_FOUT}};
constexpr TypeParam nextDispIdArgs[] = {
    {u"grfdex", VT_UI4, In}, {u"id", VT_I4, In}, {u"pid", VT_I4, PARAMFLAG_FOUT}};
constexpr TypeParam nameSpaceParentArgs[] = {{u"ppunk", VT_UNKNOWN, PARAMFLAG_FOUT}};

constexpr TypeMember dispatchExMembers[] = {
    {kFirstVtableId + 0, u"GetDispID", Method, getDispIdArgs, nullptr},
    {kFirstVtableId + 1, u"InvokeEx", Method, invokeExArgs, nullptr},
    {kFirstVtableId + 2, u"DeleteMemberByName", Method, deleteByNameArgs, nullptr},
    {kFirstVtableId + 3, u"DeleteMemberByDispID", Method, deleteByIdArgs, nullptr},
    {kFirstVtableId + 4, u"GetMemberProperties", Method, memberPropertiesArgs, nullptr},
    {kFirstVtableId + 5, u"GetMemberName", Method, memberNameArgs, nullptr},
    {kFirstVtableId + 6, u"GetNextDispID", Method, nextDispIdArgs, nullptr},
    {kFirstVtableId + 7, u"GetNameSpaceParent", Method, nameSpaceParentArgs, nullptr},
};

constexpr TypeParam queryServiceArgs[] = {
    {u"guidService", VT_PTR, In}, {u"riid", VT_PTR, In}, {u"ppvObject", VT_PTR, PARAMFLAG_FOUT}};
constexpr TypeMember serviceProviderMembers[] = {
    {kFirstVtableId, u"QueryService", Method, queryServiceArgs, nullptr},
};

constexpr TypeInterface interfaces[] = {
    {IID_IPictavo, u"IPictavo", u"IPictavo 接口",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
     IID_IDispatch, pictavoMembers},
    {IID_IDispatchEx, u"IDispatchEx", nullptr, 0, IID_IDispatch, dispatchExMembers},
    {IID_IServiceProvider, u"IServiceProvider", nullptr, 0, IID_IUnknown, serviceProviderMembers},
};

constexpr IID pictavoInterfaces[] = {IID_IPictavo};

constexpr TypeCoclass coclasses[] = {
    {CLSID_Pictavo, u"Pictavo", u"Pictavo Class", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL, IID_IPictavo,
     pictavoInterfaces},
};

constexpr TypeLibrary library{LIBID_PictavoATLLib,      1, 0,          u"PictavoATLLib",
                              u"PictavoATL 1.0 类型库", 0, interfaces, coclasses};

} // namespace

const TypeLibrary& PictavoTypeLibrary()
{
    return library;
}

namespace {

constexpr char16_t kAutomationProxy[] = u"{00020424-0000-0000-C000-000000000046}";

std::u16string guidText(REFGUID guid)
{
    WCHAR buf[40];
    StringFromGUID2(guid, buf, 40);
    return buf;
}

std::u16string hexText(unsigned v)
{
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string out;
    do {
        out.insert(out.begin(), digits[v % 16]);
        v /= 16;
    } while (v);
    return out;
}

// Type library versions and locales are written in hexadecimal, as the system does.
std::u16string versionText(const TypeLibrary& lib)
{
    return hexText(lib.majorVersion) + u"." + hexText(lib.minorVersion);
}

bool registersInterface(const TypeInterface& itf)
{
    return (itf.flags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0;
}

HRESULT fromWin32(LONG rc)
{
    return HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
}

LONG setString(HKEY parent, std::u16string_view subKey, const char16_t* name, std::u16string_view text)
{
    HKEY key = nullptr;
    const std::u16string sub(subKey);
    LONG rc = RegCreateKeyExW(parent, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    const std::u16string value(text);
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return rc;
}

std::u16string readString(HKEY parent, const std::u16string& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    WCHAR buf[64] = {};
    DWORD size = sizeof buf - sizeof(WCHAR);
    DWORD type = 0;
    LONG rc = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::u16string(buf) : std::u16string();
}

} // namespace

HRESULT RegisterPictavoTypeLibrary(std::u16string_view modulePath)
{
    const TypeLibrary& lib = PictavoTypeLibrary();
    const std::u16string libid = guidText(lib.libid);
    const std::u16string version = versionText(lib);
    const std::u16string base = u"TypeLib\\" + libid + u"\\" + version;
    std::u16string helpDir(modulePath.substr(
        0, modulePath.rfind(u'/') == std::u16string_view::npos ? 0 : modulePath.rfind(u'/')));
    if (helpDir.empty())
        helpDir = u"/";
    const std::u16string lcid = hexText(lib.lcid);
    LONG rc = setString(HKEY_CLASSES_ROOT, base, nullptr, lib.help);
    if (rc == ERROR_SUCCESS)
        rc = setString(HKEY_CLASSES_ROOT, base + u"\\" + lcid + u"\\win32", nullptr, modulePath);
    if (rc == ERROR_SUCCESS)
        rc = setString(HKEY_CLASSES_ROOT, base + u"\\FLAGS", nullptr, u"0");
    if (rc == ERROR_SUCCESS)
        rc = setString(HKEY_CLASSES_ROOT, base + u"\\HELPDIR", nullptr, helpDir);
    for (const TypeInterface& itf : lib.interfaces) {
        if (rc != ERROR_SUCCESS)
            break;
        if (!registersInterface(itf))
            continue;
        const std::u16string key = u"Interface\\" + guidText(itf.iid);
        rc = setString(HKEY_CLASSES_ROOT, key, nullptr, itf.name);
        if (rc == ERROR_SUCCESS)
            rc = setString(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid", nullptr, kAutomationProxy);
        if (rc == ERROR_SUCCESS)
            rc = setString(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid32", nullptr, kAutomationProxy);
        if (rc == ERROR_SUCCESS)
            rc = setString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", nullptr, libid);
        if (rc == ERROR_SUCCESS)
            rc = setString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"Version", version);
    }
    return fromWin32(rc);
}

HRESULT UnregisterPictavoTypeLibrary()
{
    const TypeLibrary& lib = PictavoTypeLibrary();
    const std::u16string libid = guidText(lib.libid);
    HRESULT first = S_OK;
    auto note = [&](LONG rc) {
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && SUCCEEDED(first))
            first = fromWin32(rc);
    };
    for (const TypeInterface& itf : lib.interfaces) {
        if (!registersInterface(itf))
            continue;
        const std::u16string key = u"Interface\\" + guidText(itf.iid);
        // Another library may have taken the interface over since; leave it to that one.
        if (pictavo::platform::equalsNoCase(readString(HKEY_CLASSES_ROOT, key + u"\\TypeLib"), libid))
            note(RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str()));
    }
    const std::u16string libKey = u"TypeLib\\" + libid;
    note(RegDeleteTreeW(HKEY_CLASSES_ROOT, (libKey + u"\\" + versionText(lib)).c_str()));
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        WCHAR name[256];
        DWORD chars = 256;
        const bool otherVersions =
            RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS;
        RegCloseKey(key);
        if (!otherVersions)
            note(RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str()));
    }
    return first;
}
