// Owns one BSTR and frees it with SysFreeString. Move-only: a BSTR has exactly one owner.
#pragma once

#include "Com.h"

#include <utility>

class BstrHolder
{
public:
    BstrHolder() noexcept = default;
    explicit BstrHolder(BSTR adopted) noexcept : m_text(adopted) { }
    BstrHolder(BstrHolder &&other) noexcept : m_text(std::exchange(other.m_text, nullptr)) { }
    BstrHolder &operator=(BstrHolder &&other) noexcept
    {
        BstrHolder moved(std::move(other));
        std::swap(m_text, moved.m_text);
        return *this;
    }
    BstrHolder(const BstrHolder &) = delete;
    BstrHolder &operator=(const BstrHolder &) = delete;
    ~BstrHolder() { reset(); }

    // Frees the current text and gives the slot for an out parameter to fill.
    BSTR *receive() noexcept
    {
        reset();
        return &m_text;
    }
    void reset() noexcept { SysFreeString(std::exchange(m_text, nullptr)); }

    BSTR get() const noexcept { return m_text; }
    // Length from the BSTR's prefix, so embedded NULs count.
    unsigned length() const noexcept { return SysStringLen(m_text); }

private:
    BSTR m_text = nullptr;
};
