#include "module/PictavoTypeLib.h"

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
    {1, u"Object", Put, dispatchArg, u"属性 Object"},
    {2, u"Debug", Put, boolArg, u"属性 Debug"},
    {3, u"LogFile", Put, bstrArg, u"属性 LogFile"},
    {4, u"PostUrl", Put, bstrArg, u"属性 PostUrl"},
    {5, u"Watermark", Put, boolArg, u"属性 Watermark"},
    {6, u"ThumbnailWidth", Put, ushortArg, u"属性 ThumbnailWidth"},
    {7, u"ThumbnailHeight", Put, ushortArg, u"属性 ThumbnailHeight"},
    {8, u"ViewWidth", Put, ushortArg, u"属性 ViewWidth"},
    {9, u"ViewHeight", Put, ushortArg, u"属性 ViewHeight"},
    {10, u"ImgSizeLimit", Put, longArg, u"属性 ImgSizeLimit"},
    {11, u"ImgCountLimit", Put, longArg, u"属性 ImgCountLimit"},
    {12, u"CompressSizeLimit", Put, longArg, u"属性 CompressSizeLimit"},
    {16, u"FileFieldName", Put, bstrArg, u"属性 FileFieldName"},
    {17, u"EncodeType", Put, bstrArg, u"属性 EncodeType"},
    {18, u"UploadFormat", Put, bstrArg, u"属性 UploadFormat"},
    {19, u"JpegQuality", Put, ushortArg, u"属性 JpegQuality"},
    {20, u"DefaultFolder", Put, bstrArg, u"属性 DefaultFolder"},
    {21, u"AfterImagesPosted", Put, dispatchArg, u"属性 AfterImagesPosted"},
    {22, u"OnImagesPosted", Method, {}, u"方法OnImagesPosted"},
    {23, u"GetPostedFiles", Method, filesArg, u"方法GetPostedFiles"},
    {24, u"AddField", Method, fieldArgs, u"方法AddField"},
    {25, u"ClearFields", Method, {}, u"方法ClearFields"},
    {26, u"GetCount", Method, countArg, u"方法GetCount"},
    {27, u"Clear", Method, {}, u"方法Clear"},
};

// IDispatchEx and IServiceProvider are plain vtable interfaces here: their members carry
// the ids a type library gives vtable functions, in slot order.
constexpr DISPID kFirstVtableId = 0x60020000;

constexpr TypeParam getDispIdArgs[] = {
    {u"bstrName", VT_BSTR, In}, {u"grfdex", VT_UI4, In}, {u"pid", VT_I4, PARAMFLAG_FOUT}};
constexpr TypeParam invokeExArgs[] = {
    {u"id", VT_I4, In},           {u"lcid", VT_UI4, In},           {u"wFlags", VT_UI2, In},
    {u"pdp", VT_PTR, In},         {u"pvarRes", VT_VARIANT, PARAMFLAG_FOUT}, {u"pei", VT_PTR, PARAMFLAG_FOUT},
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
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE, IID_IDispatch,
     pictavoMembers},
    {IID_IDispatchEx, u"IDispatchEx", nullptr, 0, IID_IDispatch, dispatchExMembers},
    {IID_IServiceProvider, u"IServiceProvider", nullptr, 0, IID_IUnknown, serviceProviderMembers},
};

constexpr IID pictavoInterfaces[] = {IID_IPictavo};

constexpr TypeCoclass coclasses[] = {
    {CLSID_Pictavo, u"Pictavo", u"Pictavo Class", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL, IID_IPictavo,
     pictavoInterfaces},
};

constexpr TypeLibrary library{
    LIBID_PictavoATLLib, 1, 0, u"PictavoATLLib", u"PictavoATL 1.0 类型库", 0, interfaces, coclasses};

} // namespace

const TypeLibrary& PictavoTypeLibrary() { return library; }
