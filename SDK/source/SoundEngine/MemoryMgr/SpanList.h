// Doubly linked lists of spans (a heap's partial and full lists), through the spans' own links.
#pragma once

#include "MemoryMgr/SpanAllocatorLayout.h"

namespace ZK::SpanAlloc
{
inline void PushSpan(ZkSpan*& head, ZkSpan* span)
{
    span->previous = nullptr;
    span->next = head;
    if (head)
        head->previous = span;
    head = span;
}

inline void RemoveSpan(ZkSpan*& head, ZkSpan* span)
{
    if (span->previous)
        span->previous->next = span->next;
    else
        head = span->next;
    if (span->next)
        span->next->previous = span->previous;
    span->next = nullptr;
    span->previous = nullptr;
}
} // namespace ZK::SpanAlloc
