// CZkScopedAction: the actions whose scope may reach beyond one target (stop, pause, resume, the
// property setters, seek, reset playlist): they add a curve of their own and an exception list,
// the nodes (id and bus flag) that an all-objects command leaves out with everything below them.
//
// Commands to nodes travel in a ZkActionParams record: ExecuteOnTarget sends it to the target
// node; ExecuteOnAll broadcasts it to the dynamic sequences and hands it to every top-level bus,
// which pass it down to everything routed through them (nodes below an exception excepted).
//
// Threading: as CZkEventAction. Ownership: the action owns its exception array (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine
{
class CZkGameObject;

class CZkScopedAction : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;

    // The curve byte, the kind's extra bytes (ReadExtraParams), then the exception list: a
    // variable-length count and count entries {u32 id, u8 is-bus}. 1; 7 a field runs past the
    // item; 2 the array cannot be allocated.
    ZKRESULT ReadParams(ZK::ZkByteCursor& cursor) override;
    virtual ZKRESULT ReadExtraParams(ZK::ZkByteCursor&) { return ZK_Success; }

    // 1 when the pair is present or added; 2 when the array cannot grow.
    ZKRESULT AddException(ZkUniqueID id, bool isBus);
    // Removes the first matching entry (the order of the others is kept).
    void RemoveException(ZkUniqueID id, bool isBus);
    // Empties the list; the storage is kept.
    void ClearExceptions() { m_exceptions.RemoveAll(); }
    const ZK::ZkArray<ZkNodeKey>& Exceptions() const { return m_exceptions; }
    bool IsException(ZkUniqueID id, bool isBus) const;

    // Copies the kind's option bits into the record (stop, pause and resume have some).
    virtual void FillActionParams(ZkActionParams&) const {}

protected:
    // MakeCommand, then the kind's options.
    ZkActionParams MakeParams(ZkActionCode code, const PendingAction& pending) const;
    // The variable-length count and the entries of the exception list. 1; 7; 2.
    ZKRESULT ReadExceptions(ZK::ZkByteCursor& cursor);
    // The command on everything but the exceptions: the dynamic sequences (when withSequences),
    // then every top-level bus with the exception list in the record.
    void ExecuteOnAll(ZkActionParams params, bool withSequences);
    // The command to every dynamic sequence of the object index (a copy of the table taken under
    // its lock; the sequences are called without it).
    static void BroadcastToDynamicSequences(ZkActionCode code, CZkGameObject* object);

private:
    ZK::ZkArray<ZkNodeKey> m_exceptions;
};
} // namespace ZK::SoundEngine
