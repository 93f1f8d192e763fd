// ComPtr's reference counting against an object that only counts.
#include "platform/ComPtr.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// A stack object: the test owns the first reference, so the count shows what holders did.
struct CountingObject : IUnknown
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    ULONG references = 1;
};

TEST(ComPtr, CopiesAddReferencesMovesDoNot)
{
    CountingObject a;
    CountingObject b;
    {
        auto shared = ComPtr<IUnknown>::share(&a);
        EXPECT_EQ(a.references, 2u);
        ComPtr<IUnknown> copy(shared);
        EXPECT_EQ(a.references, 3u);
        ComPtr<IUnknown> moved(std::move(copy));
        EXPECT_EQ(a.references, 3u);
        EXPECT_FALSE(copy);
        EXPECT_EQ(moved.get(), &a);

        auto other = ComPtr<IUnknown>::share(&b);
        other = shared; // drops b, adds a
        EXPECT_EQ(b.references, 1u);
        EXPECT_EQ(a.references, 4u);
        other = std::move(moved); // drops one reference to a, takes over another
        EXPECT_EQ(a.references, 3u);
        EXPECT_FALSE(moved);
        const ComPtr<IUnknown> &alias = other;
        other = alias;
        EXPECT_EQ(a.references, 3u);
    }
    EXPECT_EQ(a.references, 1u);
    EXPECT_EQ(b.references, 1u);
}

TEST(ComPtr, AdoptResetAndReceive)
{
    CountingObject a;
    CountingObject b;
    CountingObject c;
    auto held = ComPtr<IUnknown>::adopt(&a); // takes over the test's reference
    EXPECT_EQ(a.references, 1u);
    held = ComPtr<IUnknown>::adopt(&b);
    EXPECT_EQ(a.references, 0u);
    EXPECT_EQ(b.references, 1u);

    // receive() releases what was held and hands out an empty slot for an out parameter.
    IUnknown **slot = held.receive();
    EXPECT_EQ(b.references, 0u);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, nullptr);
    *slot = &c;
    EXPECT_EQ(held.get(), &c);
    held.reset();
    EXPECT_FALSE(held);
    EXPECT_EQ(c.references, 0u);

    // Null is a valid value throughout.
    ComPtr<IUnknown> empty = ComPtr<IUnknown>::share(nullptr);
    ComPtr<IUnknown> copy(empty);
    copy.reset();
    EXPECT_FALSE(empty);
}

} // namespace
