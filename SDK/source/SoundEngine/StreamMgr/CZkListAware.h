// CZkListAware: the link of an object kept in an intrusive singly linked list (the next item). The
// list's owner keeps the head and guards the links.
#pragma once

namespace ZK::StreamMgr
{
template <typename T>
class CZkListAware
{
public:
    T* pNextItem = nullptr;
};
} // namespace ZK::StreamMgr
