// Owns one reference to a COM object: copying adds a reference, destruction or overwrite releases
// it, null is allowed. The only place in the project that calls AddRef and Release on SDK objects.
#pragma once

#include "Com.h"

#include <cstddef>
#include <utility>

template<class T>
class ComPtr
{
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept { }
    ComPtr(const ComPtr &other) noexcept : m_object(other.m_object) { addRef(); }
    ComPtr(ComPtr &&other) noexcept : m_object(std::exchange(other.m_object, nullptr)) { }
    ~ComPtr() { reset(); }

    ComPtr &operator=(const ComPtr &other) noexcept
    {
        ComPtr copy(other);
        swap(copy);
        return *this;
    }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        ComPtr moved(std::move(other));
        swap(moved);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr adopt(T *object) noexcept
    {
        ComPtr result;
        result.m_object = object;
        return result;
    }
    // Takes a new reference of its own; the caller keeps its reference.
    static ComPtr share(T *object) noexcept
    {
        ComPtr result = adopt(object);
        result.addRef();
        return result;
    }

    // Releases the current object and gives the slot for an out parameter to fill.
    T **receive() noexcept
    {
        reset();
        return &m_object;
    }
    void **receiveVoid() noexcept { return reinterpret_cast<void **>(receive()); }

    void reset() noexcept
    {
        if (T *object = std::exchange(m_object, nullptr))
            object->Release();
    }
    void swap(ComPtr &other) noexcept { std::swap(m_object, other.m_object); }

    T *get() const noexcept { return m_object; }
    T *operator->() const noexcept { return m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }
    bool operator==(const ComPtr &other) const noexcept { return m_object == other.m_object; }
    bool operator!=(const ComPtr &other) const noexcept { return m_object != other.m_object; }

private:
    void addRef() noexcept
    {
        if (m_object)
            m_object->AddRef();
    }

    T *m_object = nullptr;
};
