#include "VariantTestSupport.h"

#include "support/FakeDispatch.h"

#include "platform/com/DispatchCall.h"
#include "platform/com/DispatchImpl.h"
#include "platform/com/RefCounted.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace pictavo::platform;

constexpr TypeParam kWidth[] = {{u"value", VT_UI2, PARAMFLAG_FIN}};
constexpr TypeParam kTitleIn[] = {{u"value", VT_BSTR, PARAMFLAG_FIN}};
constexpr TypeParam kTitleOut[] = {{u"value", VT_BSTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TypeParam kAdd[] = {{u"fieldName", VT_BSTR, PARAMFLAG_FIN}, {u"count", VT_I4, PARAMFLAG_FIN}};
constexpr TypeParam kCount[] = {{u"val", VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TypeParam kTwice[] = {{u"n", VT_I4, PARAMFLAG_FIN | PARAMFLAG_FOUT}};
constexpr TypeParam kOptional[] = {{u"a", VT_I4, PARAMFLAG_FIN},
                                   {u"b", VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT}};

constexpr TypeMember kMembers[] = {
    {1, u"Width", MemberKind::PropertyPut, kWidth, u"property Width"},
    {2, u"Title", MemberKind::PropertyPut, kTitleIn, u"property Title"},
    {2, u"Title", MemberKind::PropertyGet, kTitleOut, u"property Title"},
    {3, u"AddField", MemberKind::Method, kAdd, u"method AddField"},
    {4, u"GetCount", MemberKind::Method, kCount, u"method GetCount"},
    {5, u"Twice", MemberKind::Method, kTwice, u"method Twice"},
    {6, u"Maybe", MemberKind::Method, kOptional, u"method Maybe"},
    {7, u"Clear", MemberKind::Method, {}, u"method Clear"},
};

constexpr TypeInterface kTestInterface{pictavo::platform::makeGuid("11111111-2222-3333-4444-555555555555"),
                                       u"ITest",
                                       u"test interface",
                                       TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION,
                                       IID_IDispatch,
                                       kMembers};

struct Call
{
    DISPID id;
    WORD kind;
    std::vector<Var> args;
};

class DispatchImplTest : public ::testing::Test
{
protected:
    DispatchImpl::Invoker record = [this](DISPID id, WORD kind, VARIANT* args, UINT count, VARIANT* result) {
        Call call{id, kind, {}};
        for (UINT i = 0; i < count; ++i) {
            Var copy;
            VariantCopy(&copy, &args[i]);
            call.args.push_back(copy);
        }
        calls.push_back(call);
        if (id == 4) {
            result->vt = VT_I4;
            result->lVal = 300;
        } else if (id == 2 && kind == DISPATCH_PROPERTYGET) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(u"title");
        } else if (id == 5) {
            args[0].lVal *= 2;
        }
        return S_OK;
    };
    DispatchImpl dispatch{kTestInterface, record};
    std::vector<Call> calls;

    DISPID idOf(const char16_t* name)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 99;
        dispatch.GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        return id;
    }
    HRESULT put(DISPID id, Var value, UINT* argErr = nullptr)
    {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        return dispatch.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, argErr);
    }
    HRESULT call(DISPID id, std::vector<Var> comOrder, Var* result = nullptr, UINT* argErr = nullptr)
    {
        DISPPARAMS params{comOrder.data(), nullptr, static_cast<UINT>(comOrder.size()), 0};
        return dispatch.Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result,
                               nullptr, argErr);
    }
};

TEST_F(DispatchImplTest, NamesInAnyCase)
{
    EXPECT_EQ(idOf(u"width"), 1);
    EXPECT_EQ(idOf(u"ADDFIELD"), 3);
    EXPECT_EQ(idOf(u"title"), 2);
    EXPECT_EQ(idOf(u"Nope"), DISPID_UNKNOWN);

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"addfield"), const_cast<LPOLESTR>(u"COUNT"),
                        const_cast<LPOLESTR>(u"other")};
    DISPID ids[3];
    EXPECT_EQ(dispatch.GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    EXPECT_EQ(dispatch.GetIDsOfNames(IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchImplTest, ArgumentsArriveInDeclarationOrderCoerced)
{
    // COM passes the last argument first.
    ASSERT_EQ(call(3, {Var(u" 12 "), Var(u"name")}), S_OK);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, DISPATCH_METHOD);
    EXPECT_EQ(calls[0].args[0].text(), u"name");
    EXPECT_EQ(calls[0].args[1].vt, VT_I4);
    EXPECT_EQ(calls[0].args[1].lVal, 12);
}

TEST_F(DispatchImplTest, NamedArguments)
{
    std::vector<Var> args = {Var(u"name"), Var::i4(5)}; // count by name, fieldName positional
    DISPID named[] = {1};
    args[0] = Var::r8(7.5);
    args[1] = Var(u"f");
    DISPPARAMS params{args.data(), named, 2, 1};
    ASSERT_EQ(dispatch.Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(calls.back().args[0].text(), u"f");
    EXPECT_EQ(calls.back().args[1].lVal, 8);

    DISPID bad[] = {DISPID_PROPERTYPUT};
    params.rgdispidNamedArgs = bad;
    EXPECT_EQ(dispatch.Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    DISPID clash[] = {0}; // the positional argument already fills parameter 0
    params.rgdispidNamedArgs = clash;
    EXPECT_EQ(dispatch.Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(DispatchImplTest, PropertyPutNeedsItsNamedArgument)
{
    ASSERT_EQ(put(1, Var(u"640")), S_OK);
    EXPECT_EQ(calls.back().kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(calls.back().args[0].vt, VT_UI2);
    EXPECT_EQ(calls.back().args[0].uiVal, 640);

    Var value = Var::i4(1);
    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    EXPECT_EQ(dispatch.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    // Write-only: no get; and a method call on a property is not a member either.
    Var result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch.Invoke(7, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch.Invoke(42, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(calls.size(), 1u);

    // Same DISPID, the get kind.
    ASSERT_EQ(dispatch.Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.text(), u"title");
}

TEST_F(DispatchImplTest, FailedCoercionDoesNotCallTheObject)
{
    UINT argErr = 99;
    EXPECT_EQ(put(1, Var::i4(70000), &argErr), DISP_E_OVERFLOW);
    EXPECT_EQ(argErr, 0u);
    argErr = 99;
    EXPECT_EQ(call(3, {Var(u"twelve"), Var(u"name")}, nullptr, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u); // the count, passed first
    Var null;
    null.vt = VT_NULL;
    EXPECT_EQ(put(2, null, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(calls.empty());
}

TEST_F(DispatchImplTest, ArgumentCounts)
{
    EXPECT_EQ(call(3, {Var(u"only one")}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(7, {Var::i4(1)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(3, {Var::i4(1), Var::i4(2), Var::i4(3)}), DISP_E_BADPARAMCOUNT);
    EXPECT_TRUE(calls.empty());

    // A missing optional argument arrives as "not found".
    ASSERT_EQ(call(6, {Var::i4(1)}), S_OK);
    EXPECT_EQ(calls.back().args[1].vt, VT_ERROR);
    EXPECT_EQ(calls.back().args[1].scode, DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchImplTest, RetvalAndInOutParameters)
{
    Var result;
    ASSERT_EQ(call(4, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 300);
    ASSERT_EQ(call(4, {}, nullptr), S_OK); // no place for the result: dropped

    LONG n = 21;
    Var ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &n;
    ASSERT_EQ(call(5, {ref}), S_OK);
    EXPECT_EQ(n, 42);

    Var holder(u"8");
    Var refVariant;
    refVariant.vt = VT_BYREF | VT_VARIANT;
    refVariant.pvarVal = &holder;
    ASSERT_EQ(call(5, {refVariant}), S_OK);
    EXPECT_EQ(holder.vt, VT_I4);
    EXPECT_EQ(holder.lVal, 16);

    UINT argErr = 99;
    EXPECT_EQ(call(5, {Var::i4(3)}, nullptr, &argErr), DISP_E_TYPEMISMATCH); // out needs a reference
    EXPECT_EQ(argErr, 0u);
}

TEST_F(DispatchImplTest, CallHelpersTakeDeclarationOrder)
{
    auto object = makeCom<pictavo::test::TypedDispatch>(kTestInterface, record);
    Var args[] = {Var(u"field"), Var(u"3")};
    ASSERT_EQ(invokeByName(object.Get(), u"addfield", DISPATCH_METHOD, args, 2, nullptr), S_OK);
    EXPECT_EQ(calls.back().args[0].text(), u"field");
    EXPECT_EQ(calls.back().args[1].lVal, 3);
    Var width = Var::r8(120);
    ASSERT_EQ(invokeByName(object.Get(), u"WIDTH", DISPATCH_PROPERTYPUT, &width, 1, nullptr), S_OK);
    EXPECT_EQ(calls.back().args[0].uiVal, 120);
    EXPECT_EQ(invokeByName(object.Get(), u"Height", DISPATCH_PROPERTYPUT, &width, 1, nullptr),
              DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchImplTest, ObjectFailuresBecomeExceptions)
{
    DispatchImpl failing{kTestInterface,
                         [](DISPID, WORD, VARIANT*, UINT, VARIANT*) { return E_ACCESSDENIED; }};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO info;
    EXPECT_EQ(failing.Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &info, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_ACCESSDENIED);
    EXPECT_EQ(failing.Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              E_ACCESSDENIED);
}

} // namespace
