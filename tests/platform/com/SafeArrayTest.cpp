#include "VariantTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeArray, VectorBoundsAndElementCopies)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 1, 3);
    ASSERT_NE(psa, nullptr);
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), DISP_E_BADINDEX);
    VARTYPE vt = 0;
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);

    BSTR text = SysAllocString(u"answer");
    LONG index = 2;
    EXPECT_EQ(SafeArrayPutElement(psa, &index, text), S_OK);
    SysFreeString(text); // the array holds its own copy
    index = 0;
    EXPECT_EQ(SafeArrayPutElement(psa, &index, text), DISP_E_BADINDEX);
    index = 4;
    BSTR got = nullptr;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &got), DISP_E_BADINDEX);
    index = 2;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &got), S_OK);
    EXPECT_EQ(std::u16string(got), u"answer");
    SysFreeString(got);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    ASSERT_EQ(SafeArrayGetElement(copy, &index, &got), S_OK);
    EXPECT_EQ(std::u16string(got), u"answer");
    SysFreeString(got);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

TEST(SafeArray, VariantElementsRedimAndLocks)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    ASSERT_NE(psa, nullptr);
    Var first(u"one");
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, &first), S_OK);

    SAFEARRAYBOUND bigger{3, 0};
    ASSERT_EQ(SafeArrayRedim(psa, &bigger), S_OK);
    LONG upper = 0;
    SafeArrayGetUBound(psa, 1, &upper);
    EXPECT_EQ(upper, 2);
    Var got;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &got), S_OK);
    EXPECT_EQ(got.text(), u"one");
    index = 2;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &got), S_OK);
    EXPECT_EQ(got.vt, VT_EMPTY); // grown slots start empty

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    EXPECT_EQ(static_cast<VARIANT*>(data)[0].vt, VT_BSTR);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayRedim(psa, &bigger), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);

    // A variant holding the array copies it whole.
    Var holder;
    holder.vt = VT_ARRAY | VT_VARIANT;
    holder.parray = psa;
    Var copy(holder);
    EXPECT_NE(copy.parray, psa);
    index = 0;
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &index, &got), S_OK);
    EXPECT_EQ(got.text(), u"one");
}

TEST(SafeArray, TwoDimensionsAndRefusedSizes)
{
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 10}}; // left-most first
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 2u);
    LONG lower = 0;
    SafeArrayGetLBound(psa, 2, &lower);
    EXPECT_EQ(lower, 10);
    for (LONG i = 0; i < 2; ++i)
        for (LONG j = 10; j < 13; ++j) {
            LONG at[2] = {i, j};
            LONG value = i * 100 + j;
            ASSERT_EQ(SafeArrayPutElement(psa, at, &value), S_OK);
        }
    LONG* data = static_cast<LONG*>(psa->pvData);
    EXPECT_EQ(data[0], 10);  // (0,10)
    EXPECT_EQ(data[1], 110); // (1,10): the left-most index varies fastest
    EXPECT_EQ(data[2], 11);
    LONG at[2] = {1, 13};
    LONG value = 0;
    EXPECT_EQ(SafeArrayGetElement(psa, at, &value), DISP_E_BADINDEX);
    SafeArrayDestroy(psa);

    SAFEARRAYBOUND huge[2] = {{0x10000, 0}, {0x10000, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
}

TEST(Guid, StringRoundTripAndRejects)
{
    WCHAR text[39];
    ASSERT_EQ(StringFromGUID2(IID_IDispatchEx, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{A6EF9860-C720-11D0-9337-00A0C90DCAA9}");
    EXPECT_EQ(StringFromGUID2(IID_IDispatchEx, text, 38), 0);

    IID parsed{};
    EXPECT_EQ(IIDFromString(u"{a6ef9860-c720-11d0-9337-00a0c90dcaa9}", &parsed), S_OK);
    EXPECT_TRUE(IsEqualIID(parsed, IID_IDispatchEx));
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromString(u"{00000323-0000-0000-C000-000000000046}", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_StdGlobalInterfaceTable);
    for (const char16_t* bad :
         {u"A6EF9860-C720-11D0-9337-00A0C90DCAA9", u"{A6EF9860-C720-11D0-9337-00A0C90DCAA9",
          u"{A6EF9860-C720-11D0-9337-00A0C90DCAA9}x", u"{A6EF9860+C720-11D0-9337-00A0C90DCAA9}",
          u"{G6EF9860-C720-11D0-9337-00A0C90DCAA9}", u""})
        EXPECT_EQ(CLSIDFromString(bad, &clsid), CO_E_CLASSSTRING);
}

} // namespace
