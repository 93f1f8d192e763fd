// Blocks handed to the host: zero-filled heap memory that the host gives back through the
// table's release operations, which free it with free().
#pragma once

#include <QByteArray>

#include <cstddef>
#include <string>

// count elements of elementSize bytes, zero-filled. A count below 1 is a programming error and
// ends the process (callers never ask for it); a heap that cannot supply the block gives null.
void *allocateHostBlock(std::size_t elementSize, int count);

// Where host blocks come from: calloc. A test stands a failing heap in to prove that every record
// copes with a block it cannot get; null restores calloc.
using HostBlockSource = void *(*)(std::size_t count, std::size_t size);
void setHostBlockSource(HostBlockSource source);

template<class T>
T *allocateHostArray(int count)
{
    return static_cast<T *>(allocateHostBlock(sizeof(T), count));
}

// A block of size + 1 bytes holding the bytes up to the first NUL, then zeros; null for an empty
// source, and null with *failed set when the heap cannot supply the block.
char *copyToHostString(const char *data, std::size_t size, bool *failed);
inline char *copyToHostString(const std::string &text, bool *failed)
{
    return copyToHostString(text.data(), text.size(), failed);
}
inline char *copyToHostString(const QByteArray &text, bool *failed)
{
    return copyToHostString(text.constData(), std::size_t(text.size()), failed);
}
