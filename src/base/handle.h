// Tiny owners for Win32 handles: the close function is part of the type, so a
// handle is closed exactly once, when its owner goes out of scope or is reset.
#pragma once
#include <windows.h>

template <typename T, auto Close, T Invalid = T{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    T* put()
    {
        reset();
        return &value_;
    }
    explicit operator bool() const { return value_ != Invalid; }
    T release()
    {
        T v = value_;
        value_ = Invalid;
        return v;
    }
    void reset(T value = Invalid)
    {
        if (value_ != Invalid) Close(value_);
        value_ = value;
    }

private:
    T value_ = Invalid;
};

using UniqueKey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueHandleObject = UniqueHandle<HANDLE, CloseHandle>;
using UniqueMenu = UniqueHandle<HMENU, DestroyMenu>;
using UniqueChangeNotification = UniqueHandle<HANDLE, FindCloseChangeNotification>;

// Files and change notifications fail with INVALID_HANDLE_VALUE; the owners
// above take null for none.
inline HANDLE NullIfInvalid(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}
