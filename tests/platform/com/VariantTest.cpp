#include "VariantTestSupport.h"

#include "support/FakeDispatch.h"

#include <gtest/gtest.h>

namespace {

HRESULT change(const Var& src, VARTYPE vt, Var* out, USHORT flags = 0)
{
    return VariantChangeType(out, &src, flags, vt);
}

TEST(Bstr, LengthPrefixEmbeddedNulsAndNull)
{
    const char16_t text[] = {u'a', 0, u'b'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], u'b');
    EXPECT_EQ(s[3], 0);                       // terminator after the text
    EXPECT_TRUE(SysReAllocString(&s, s + 2)); // source inside the old string
    EXPECT_EQ(SysStringLen(s), 1u);
    EXPECT_EQ(s[0], u'b');
    SysFreeString(s);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    BSTR odd = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(SysStringLen(odd), 1u);
    SysFreeString(odd);
}

TEST(VariantChangeType, TextToNumbers)
{
    Var out;
    EXPECT_EQ(change(Var(u"  42 "), VT_I4, &out), S_OK);
    EXPECT_EQ(out.lVal, 42);
    EXPECT_EQ(change(Var(u"-1,234"), VT_I4, &out), S_OK);
    EXPECT_EQ(out.lVal, -1234);
    EXPECT_EQ(change(Var(u"65535"), VT_UI2, &out), S_OK);
    EXPECT_EQ(out.uiVal, 65535);
    EXPECT_EQ(change(Var(u"1.5e3"), VT_R8, &out), S_OK);
    EXPECT_DOUBLE_EQ(out.dblVal, 1500.0);
    EXPECT_EQ(change(Var(u"2.5"), VT_I4, &out), S_OK);
    EXPECT_EQ(out.lVal, 2);

    out.vt = VT_I4;
    out.lVal = 7;
    EXPECT_EQ(change(Var(u"65536"), VT_UI2, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var(u"-1"), VT_UI2, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var(u"2147483648"), VT_I4, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var(u"1e400"), VT_R8, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var(u"12abc"), VT_I4, &out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(Var(u""), VT_I4, &out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(Var(u"1 2"), VT_I4, &out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(Var(u"."), VT_R8, &out), DISP_E_TYPEMISMATCH);
    // A failed conversion leaves the destination alone.
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 7);
}

TEST(VariantChangeType, DoublesRoundHalfToEven)
{
    Var out;
    const std::pair<double, LONG> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.5, 0}, {1.5, 2}, {2.4999, 2}};
    for (auto [in, expected] : cases) {
        EXPECT_EQ(change(Var::r8(in), VT_I4, &out), S_OK) << in;
        EXPECT_EQ(out.lVal, expected) << in;
    }
    EXPECT_EQ(change(Var::r8(-0.5), VT_UI2, &out), S_OK);
    EXPECT_EQ(out.uiVal, 0);
    EXPECT_EQ(change(Var::r8(65535.5), VT_UI2, &out), DISP_E_OVERFLOW); // rounds to 65536
    EXPECT_EQ(change(Var::r8(2147483647.4), VT_I4, &out), S_OK);
    EXPECT_EQ(change(Var::r8(2147483647.5), VT_I4, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var::r8(1e300), VT_R4, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var::i4(-1), VT_UI1, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(Var::i4(70000), VT_I2, &out), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, Booleans)
{
    Var out;
    EXPECT_EQ(change(Var::i4(5), VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(change(Var::r8(0.25), VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(change(Var::i4(0), VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    EXPECT_EQ(change(Var(u" TRUE "), VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(change(Var(u"false"), VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    EXPECT_EQ(change(Var(u"-1"), VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(change(Var(u"yes"), VT_BOOL, &out), DISP_E_TYPEMISMATCH);

    EXPECT_EQ(change(Var::boolean(true), VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"-1");
    EXPECT_EQ(change(Var::boolean(true), VT_BSTR, &out, VARIANT_ALPHABOOL), S_OK);
    EXPECT_EQ(out.text(), u"True");
    EXPECT_EQ(change(Var::boolean(false), VT_BSTR, &out, VARIANT_ALPHABOOL), S_OK);
    EXPECT_EQ(out.text(), u"False");
    EXPECT_EQ(change(Var::boolean(true), VT_I4, &out), S_OK);
    EXPECT_EQ(out.lVal, -1);
    EXPECT_EQ(change(Var::boolean(true), VT_UI2, &out), S_OK);
    EXPECT_EQ(out.uiVal, 0xFFFF);
}

TEST(VariantChangeType, NumbersToText)
{
    Var out;
    EXPECT_EQ(change(Var::i4(-42), VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"-42");
    EXPECT_EQ(change(Var::r8(1.5), VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"1.5");
    EXPECT_EQ(change(Var::r8(0.1), VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"0.1");
    EXPECT_EQ(change(Var::r8(1e20), VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"1E+20");
    Var cy;
    cy.vt = VT_CY;
    cy.cyVal.int64 = -12345;
    EXPECT_EQ(change(cy, VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"-1.2345");
}

TEST(VariantChangeType, EmptyNullAndByRef)
{
    Var empty, null, out;
    null.vt = VT_NULL;
    EXPECT_EQ(change(empty, VT_I4, &out), S_OK);
    EXPECT_EQ(out.lVal, 0);
    EXPECT_EQ(change(empty, VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"");
    EXPECT_NE(out.bstrVal, nullptr);
    EXPECT_EQ(change(empty, VT_BOOL, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    EXPECT_EQ(change(empty, VT_DISPATCH, &out), S_OK);
    EXPECT_EQ(out.pdispVal, nullptr);
    for (VARTYPE vt : {VT_I4, VT_BSTR, VT_BOOL, VT_R8, VT_DISPATCH})
        EXPECT_EQ(change(null, vt, &out), DISP_E_TYPEMISMATCH) << vt;
    EXPECT_EQ(change(null, VT_NULL, &out), S_OK);

    LONG target = 17;
    Var ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &target;
    EXPECT_EQ(change(ref, VT_BSTR, &out), S_OK);
    EXPECT_EQ(out.text(), u"17");
    Var inner(u"3.5");
    Var refVariant;
    refVariant.vt = VT_BYREF | VT_VARIANT;
    refVariant.pvarVal = &inner;
    EXPECT_EQ(change(refVariant, VT_I2, &out), S_OK);
    EXPECT_EQ(out.iVal, 4);
    EXPECT_EQ(change(Var::i4(1), VT_BYREF | VT_I4, &out), DISP_E_BADVARTYPE);

    // In place.
    Var same(u"12");
    EXPECT_EQ(VariantChangeType(&same, &same, 0, VT_UI1), S_OK);
    EXPECT_EQ(same.vt, VT_UI1);
    EXPECT_EQ(same.bVal, 12);
}

// An object whose default property is a number.
class Valued : public pictavo::test::UntypedDispatch
{
public:
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   UINT*) override
    {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_R8;
        result->dblVal = 41.6;
        return S_OK;
    }
};

TEST(VariantChangeType, ObjectsAndReferenceCounts)
{
    auto object = pictavo::platform::makeCom<Valued>();
    Var v;
    v.vt = VT_DISPATCH;
    v.pdispVal = object.Get();
    object->AddRef();
    Var out;
    EXPECT_EQ(change(v, VT_I4, &out), S_OK);
    EXPECT_EQ(out.lVal, 42);
    EXPECT_EQ(change(v, VT_I4, &out, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(v, VT_UNKNOWN, &out), S_OK);
    EXPECT_EQ(out.vt, VT_UNKNOWN);
    EXPECT_EQ(out.punkVal, static_cast<IUnknown*>(object.Get()));
    VariantClear(&out);
    VariantClear(&v);
    // Only the ComPtr's reference is left.
    EXPECT_EQ(object.Get()->AddRef(), 2u);
    object.Get()->Release();
}

TEST(VariantCopy, DeepCopiesAndRejectsBadTypes)
{
    Var text(u"abc");
    Var copy;
    ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_EQ(copy.text(), u"abc");

    Var bad;
    bad.vt = 0x7F;
    EXPECT_EQ(VariantCopy(&copy, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(copy.text(), u"abc");
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    bad.vt = VT_EMPTY;
}

} // namespace
