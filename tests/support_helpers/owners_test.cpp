// RAII owners: each owns exactly one value, never copies, and releases it exactly once; the
// scoped guards hold what they guard for their scope.
#include "support/owners.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

using namespace lumivex;

static_assert(!std::is_copy_constructible_v<UniqueHandle> &&
              !std::is_copy_assignable_v<UniqueHandle>);
static_assert(!std::is_copy_constructible_v<UniqueRegKey> &&
              !std::is_copy_assignable_v<UniqueFont>);
static_assert(!std::is_copy_constructible_v<ComPtr<IUnknown>> &&
              !std::is_copy_assignable_v<ComPtr<IUnknown>>);
static_assert(!std::is_copy_constructible_v<WindowDc> &&
              !std::is_copy_constructible_v<SelectScope>);
static_assert(std::is_nothrow_move_constructible_v<UniqueHandle> &&
              std::is_nothrow_move_assignable_v<UniqueHandle>);
static_assert(std::is_nothrow_move_constructible_v<ComPtr<IUnknown>> &&
              std::is_nothrow_move_assignable_v<ComPtr<IUnknown>>);

namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() {
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(Owner, ClosesOnResetAndScopeEndButNotAfterRelease) {
    HANDLE raw = NewEvent();
    {
        UniqueHandle owner(raw);
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner.get(), raw);
    }
    EXPECT_FALSE(IsOpen(raw));

    UniqueHandle owner(NewEvent());
    raw = owner.get();
    owner.reset();
    EXPECT_FALSE(IsOpen(raw));
    EXPECT_FALSE(owner);

    owner.reset(NewEvent());
    raw = owner.release();
    EXPECT_FALSE(owner);
    owner.reset();
    EXPECT_TRUE(IsOpen(raw)) << "released value closed anyway";
    ::CloseHandle(raw);
}

TEST(Owner, ResettingToTheHeldValueKeepsItOpen) {
    UniqueHandle owner(NewEvent());
    const HANDLE raw = owner.get();
    owner.reset(raw);
    EXPECT_TRUE(IsOpen(raw)) << "reset(get()) closed the handle it keeps holding";
    EXPECT_EQ(owner.get(), raw);
}

TEST(Owner, MovesTransferOwnership) {
    UniqueHandle first(NewEvent());
    const HANDLE a = first.get();
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), a);

    UniqueHandle third(NewEvent());
    const HANDLE b = third.get();
    third = std::move(second);
    EXPECT_FALSE(IsOpen(b)) << "move assignment leaked the value it replaced";
    EXPECT_EQ(third.get(), a);
    EXPECT_TRUE(IsOpen(a));

    UniqueHandle& alias = third;
    third = std::move(alias);
    EXPECT_TRUE(IsOpen(a)) << "self-move closed the handle";
    EXPECT_EQ(third.get(), a);
}

TEST(Owner, PutReleasesTheOldValueBeforeHandingOutTheSlot) {
    UniqueHandle owner(NewEvent());
    const HANDLE old = owner.get();
    HANDLE* slot = owner.put();
    EXPECT_FALSE(IsOpen(old));
    EXPECT_EQ(*slot, nullptr);
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(),
                                  ::GetCurrentProcess(), slot, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_TRUE(owner);
    EXPECT_TRUE(IsOpen(owner.get()));

    UniqueRegKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    DWORD subkeys = 0;
    EXPECT_EQ(::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(Owner, InvalidHandleValueMeansNone) {
    UniqueFind none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);

    test::TempDir dir;
    test::WriteFileBytes(dir / L"a.txt", "a");
    test::WriteFileBytes(dir / L"b.txt", "b");
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW((dir / L"*.txt").c_str(), &data));
    ASSERT_TRUE(find);
    const HANDLE raw = find.get();
    find.reset();
    EXPECT_FALSE(::FindNextFileW(raw, &data)) << "the find handle was not closed";
    EXPECT_EQ(find.get(), INVALID_HANDLE_VALUE);
}

TEST(Owner, GdiObjectsAreDeletedAndSelectionsRestored) {
    UniqueBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
    const HBRUSH raw = brush.get();
    EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
    brush.reset();
    EXPECT_EQ(::GetObjectType(raw), 0u);

    UniqueCreatedDc dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    UniquePen pen(::CreatePen(PS_SOLID, 3, RGB(255, 0, 0)));
    const HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_PEN);
    {
        SelectScope select(dc.get(), pen.get());
        EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_PEN), pen.get());
    }
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_PEN), original);
}

// The whole window's context starts at the window's outer corner, the client area's inside the
// frame; a lock is held exactly for its guard's scope.
TEST(Guards, WindowContextsAndLocksHoldForTheirScope) {
    UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"framed", WS_OVERLAPPEDWINDOW, 40, 50, 200,
                                          150, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    RECT outer = {};
    ASSERT_TRUE(::GetWindowRect(window.get(), &outer));
    POINT client = {0, 0};
    ASSERT_TRUE(::ClientToScreen(window.get(), &client));
    ASSERT_NE(client.y, outer.top) << "the window must have a frame";
    POINT origin = {};
    {
        WindowDc whole(window.get(), true);
        ASSERT_TRUE(whole);
        ASSERT_TRUE(::GetDCOrgEx(whole.get(), &origin));
        EXPECT_EQ(origin.x, outer.left);
        EXPECT_EQ(origin.y, outer.top);
    }
    {
        WindowDc inner(window.get());
        ASSERT_TRUE(inner);
        ASSERT_TRUE(::GetDCOrgEx(inner.get(), &origin));
        EXPECT_EQ(origin.x, client.x);
        EXPECT_EQ(origin.y, client.y);
    }

    SRWLOCK lock = SRWLOCK_INIT;
    {
        SharedLock reading(lock);
        EXPECT_TRUE(::TryAcquireSRWLockShared(&lock)) << "readers share";
        ::ReleaseSRWLockShared(&lock);
        EXPECT_FALSE(::TryAcquireSRWLockExclusive(&lock));
    }
    {
        ExclusiveLock writing(lock);
        EXPECT_FALSE(::TryAcquireSRWLockShared(&lock));
    }
    EXPECT_TRUE(::TryAcquireSRWLockExclusive(&lock)) << "released at scope end";
    ::ReleaseSRWLockExclusive(&lock);
}

// A COM object that only counts its references.
class CountingObject : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(ComPtr, AttachShareAndScopeEndCountReferences) {
    CountingObject object;
    {
        auto attached = ComPtr<IUnknown>::Attach(&object);
        EXPECT_EQ(object.refs, 1u);
        auto shared = ComPtr<IUnknown>::Share(&object);
        EXPECT_EQ(object.refs, 2u);
        EXPECT_EQ(shared.get(), &object);
    }
    EXPECT_EQ(object.refs, 0u);
    EXPECT_FALSE(ComPtr<IUnknown>::Share(nullptr));
}

TEST(ComPtr, MovesKeepTheCountAndAssignmentReleasesTheReplaced) {
    CountingObject a, b;
    auto first = ComPtr<IUnknown>::Attach(&a);
    ComPtr<IUnknown> second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(a.refs, 1u);

    auto third = ComPtr<IUnknown>::Attach(&b);
    third = std::move(second);
    EXPECT_EQ(b.refs, 0u);
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(third.get(), &a);

    auto again = ComPtr<IUnknown>::Share(&a); // two owners of one object
    third = std::move(again);
    EXPECT_EQ(a.refs, 1u);

    ComPtr<IUnknown>& alias = third;
    third = std::move(alias);
    EXPECT_EQ(a.refs, 1u) << "self-move changed the count";
    EXPECT_EQ(third.get(), &a);
}

TEST(ComPtr, ResetDetachPutAndAs) {
    CountingObject object;
    auto pointer = ComPtr<IUnknown>::Attach(&object);
    {
        auto same = pointer.As<IUnknown>(__uuidof(IUnknown));
        EXPECT_EQ(same.get(), &object);
        EXPECT_EQ(object.refs, 2u);
        auto none = pointer.As<IUnknown>(__uuidof(IClassFactory));
        EXPECT_FALSE(none);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);

    IUnknown* raw = pointer.detach();
    EXPECT_EQ(object.refs, 1u);
    EXPECT_FALSE(pointer);
    pointer = ComPtr<IUnknown>::Attach(raw);

    IUnknown** slot = pointer.put();
    EXPECT_EQ(object.refs, 0u) << "put() kept the old reference";
    EXPECT_EQ(*slot, nullptr);
    object.refs = 1;
    *slot = &object;
    pointer.reset();
    EXPECT_EQ(object.refs, 0u);
    EXPECT_FALSE(ComPtr<IUnknown>().As<IUnknown>(__uuidof(IUnknown)));
}

} // namespace
