// A heap that gives out on one thread: while armed, the n-th block (or every block) asked for on
// that thread fails. Linux only: a program that links this replaces operator new, and malloc,
// calloc and realloc, for the whole process, and the plug-in's shared library and Qt resolve to
// them (on Windows the DLL keeps its own C++ runtime's). Under a sanitizer, which keeps malloc
// and its kin for itself, only operator new fails.
//
// Blocks that Qt's own code asks for with operator new (its objects' private data) are spared:
// Qt's constructors are not all exception-safe (a QThread whose private data cannot be completed
// crashes while it unwinds), and what is under test is the plug-in's handling of a failure that
// reaches it. Qt's containers are exception-safe (a block they cannot have throws
// std::bad_alloc): where the reach says so, their blocks fail too, as on a heap that is really
// exhausted.
#pragma once

class FailingHeap
{
public:
    static constexpr long EveryBlock = -1;
    enum Reach {
        NewOnly, // operator new outside Qt
        NewAndContainers, // also malloc, calloc and realloc (Qt's containers, host blocks)
    };

    // For its scope, on this thread: block number failAt fails (counted from 1), or every block.
    explicit FailingHeap(long failAt, Reach reach = NewOnly);
    ~FailingHeap();
    FailingHeap(const FailingHeap &) = delete;
    FailingHeap &operator=(const FailingHeap &) = delete;

    // Whether a block failed on this thread since the last clearFailed().
    static bool failed();
    static void clearFailed();
    // For an allocator of its own (the host record blocks): whether this block fails. caller is the
    // code asking for it, null when unknown.
    static bool failsHere(void *caller = nullptr);
};
