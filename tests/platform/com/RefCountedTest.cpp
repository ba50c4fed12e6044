#include "platform/com/RefCounted.h"

#include <gtest/gtest.h>

namespace {

using namespace pictavo::platform;

struct IWidget : IDispatch
{
    virtual int size() = 0;
};
constexpr IID IID_IWidget = makeGuid("5A1B2C3D-0000-0000-0000-000000000001");
struct IOther : IUnknown
{
    virtual int other() = 0;
};
constexpr IID IID_IOther = makeGuid("5A1B2C3D-0000-0000-0000-000000000002");

} // namespace

PICTAVO_DECLARE_IID(IWidget, IID_IWidget)
PICTAVO_DECLARE_IID(IOther, IID_IOther)

namespace {

bool g_destroyed = false;

class Widget : public RefCounted<IWidget, IOther>
{
public:
    ~Widget() override { g_destroyed = true; }
    int size() override { return 3; }
    int other() override { return 4; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
};

TEST(RefCounted, InterfacesIdentityAndLifetime)
{
    g_destroyed = false;
    {
        ComPtr<IWidget> widget = makeCom<Widget>();
        ComPtr<IOther> other;
        ASSERT_EQ(widget.As(&other), S_OK);
        EXPECT_EQ(other->other(), 4);

        // Every way to IUnknown gives the same pointer: COM's identity rule.
        ComPtr<IUnknown> a, b;
        ASSERT_EQ(widget.As(&a), S_OK);
        ASSERT_EQ(other.As(&b), S_OK);
        EXPECT_EQ(a.Get(), b.Get());

        ComPtr<IDispatch> dispatch; // a base of a listed interface
        ASSERT_EQ(other.As(&dispatch), S_OK);
        EXPECT_EQ(static_cast<IDispatch*>(widget.Get()), dispatch.Get());

        ComPtr<IDispatchEx> missing;
        EXPECT_EQ(widget.As(&missing), E_NOINTERFACE);
        EXPECT_FALSE(missing);

        ComPtr<IWidget> copy = widget;
        widget.Reset();
        EXPECT_FALSE(g_destroyed);
        EXPECT_EQ(copy->size(), 3);
        IWidget* raw = copy.Detach();
        EXPECT_FALSE(copy);
        copy.Attach(raw);
    }
    EXPECT_TRUE(g_destroyed);
}

TEST(HResult, TextNamesKnownCodes)
{
    EXPECT_EQ(hresultText(DISP_E_TYPEMISMATCH), "0x80020005 (DISP_E_TYPEMISMATCH)");
    EXPECT_EQ(hresultText(S_OK), "0x00000000 (S_OK)");
    EXPECT_EQ(hresultText(MAKE_HRESULT(1, FACILITY_ITF, 0x1234)), "0x80041234");
    EXPECT_EQ(HRESULT_FROM_WIN32(5), E_ACCESSDENIED);
}

} // namespace
