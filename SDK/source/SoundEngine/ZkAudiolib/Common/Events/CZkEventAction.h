// CZkEventAction: the base of every action, the steps of an event (bank hierarchy item type 3):
// play a node, stop or pause things, set a state, a switch, a property or a game parameter, seek,
// post another event. An action keeps its type (kind and scope, ZkActionTypes.h), its target id
// (a node, bus, event, game parameter or trigger, by kind), its curve, and two packed property
// lists: values (id, 4-byte value) and randomised ranges (id, {minimum, maximum}).
//
// The event manager wraps each action of a posted event in a PendingAction, waits the action's
// delay (GetDelay: property 15 in samples, plus a draw from its range) and calls Execute with the
// record. Commands that fade use GetFadeTime (property 16 in milliseconds, plus a draw) and the
// curve. Both are clamped at 0: a negative draw never wraps into a delay of a day nor into a fade
// that never ends.
//
// Random draws come from the engine's generator (ZkLcg64::Engine()).
//
// Threading: reference counts under the action table's lock (any thread; the object index must
// exist for as long as actions do); the bank thread reads the body before the action is reachable
// from an event; everything else runs on the engine thread under the global engine lock.
// Ownership: the object index's references (memory pool 1): the bank's, each event's that lists
// it, each pending action's. The action owns its property blocks (pool 1).
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Events/ZkActionTypes.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPackedPropList.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPropertyTable.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class PendingAction;

class CZkEventAction : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankData;
    // Flag byte.
    static constexpr uint8_t kFlagCurveMask = 0x1F;
    static constexpr uint8_t kFlagHasBankID = 0x20;   // a play action read its bank id
    static constexpr uint8_t kFlagTargetIsBus = 0x40; // the target id names a bus
    static constexpr uint8_t kFlagRunTime = 0x80;     // run-time play actions: handed to the launch
    static constexpr uint8_t kFlagsAtConstruction = ZkCurveInterpolation_Linear;

    CZkEventAction(uint16_t type, ZkUniqueID id) : CZkIndexedObject(id), m_type(type) {}
    ~CZkEventAction() override = default;

    // --- The CZkIndexedObject part: counted under the action table's lock ---
    uint32_t AddRef() override;
    // At 0 the action leaves the table and is destroyed.
    uint32_t Release() override;
    void Destroy() override;
    // Inserts the action into the action table. 1; 52 when the table cannot grow (the action then
    // lives by its creator's reference only).
    ZKRESULT AddToIndex();

    // --- Operations, in the order of the action's operation table ---
    virtual void SetTarget(ZkUniqueID id, bool isBus);
    // Sets the value when it differs from the current one (stored, else the default), then the
    // range {minimum, maximum} unless both are 0 and the id has no range yet. 1; 2 when a block
    // cannot be allocated.
    ZKRESULT SetIntProperty(uint8_t id, int32_t value, int32_t minimum, int32_t maximum);
    // The same for a float property; NaN never counts as a change.
    ZKRESULT SetFloatProperty(uint8_t id, float value, float minimum, float maximum);
    // Runs the action for the pending record. The result is the action's (the event manager drops
    // the record whatever it is).
    virtual ZKRESULT Execute(PendingAction& pending) = 0;
    // The kind's own bytes after the common body. 1; 7 when they run past the item; 2 or 52 when
    // memory runs out.
    virtual ZKRESULT ReadParams(ZK::ZkByteCursor&) { return ZK_Success; }
    // A run-time play waiting in the queue lets go of the playing instance that queued it; other
    // actions hold none.
    virtual void ReleaseInstanceRef() {}

    // Reads the common body (from the id on) and then the kind's parameters, within size. A type
    // word other than the action's own ends the read at once with 1. 1; 7 a field runs past the
    // body; 52 out of memory; the parameters' result. Whatever the result, a delay read in
    // milliseconds is turned into samples at the engine's sample rate.
    ZKRESULT ReadFromBank(const uint8_t* body, uint32_t size);

    // The target node (the bus table when the target is a bus) with a reference added, or null.
    CZkHierarchyNode* GetTargetNode() const;
    // Property 15 (samples) plus a draw from its range; never below 0.
    uint32_t GetDelay() const;
    // Property 16 (milliseconds) plus a draw from its range; never below 0.
    ZkTimeMs GetFadeTime() const;

    uint16_t Type() const { return m_type; }
    uint8_t Kind() const { return ActionKindOf(m_type); }
    uint8_t Scope() const { return ActionScopeOf(m_type); }
    ZkUniqueID TargetID() const { return m_targetID; }
    bool TargetIsBus() const { return (m_flags & kFlagTargetIsBus) != 0; }
    uint32_t Curve() const { return m_flags & kFlagCurveMask; }
    void SetCurve(uint32_t curve) { m_flags = static_cast<uint8_t>((m_flags & ~kFlagCurveMask) | (curve & kFlagCurveMask)); }
    uint8_t Flags() const { return m_flags; }
    void SetFlagBits(uint8_t bits, bool set) { m_flags = static_cast<uint8_t>(set ? m_flags | bits : m_flags & ~bits); }
    const ZkPackedPropList<4, kPool>& Properties() const { return m_props; }
    const ZkPackedPropList<8, kPool>& Ranges() const { return m_ranges; }
    // The stored value of a property, else its default.
    ZkPropertyValue GetProperty(uint8_t id) const;
    // A draw from the property's range as an integer (0 without a range): minimum when both ends
    // are equal (no draw), else minimum + trunc(r x (maximum - minimum) + 0.5).
    int32_t RandomIntOffset(uint8_t id) const;
    // A draw from a float range (0 without a range): minimum + r x (maximum - minimum).
    float RandomFloatOffset(uint8_t id) const;

    CZkEventAction* pNextAction = nullptr; // the next action of the event that lists this one
    bool isListed = false;                  // an event lists this action

protected:
    // The curve byte of a body (its bits 0-4). False past the body.
    bool ReadCurve(ZK::ZkByteCursor& cursor);
    // The record of a command for the pending action: the code, its game object (null: every
    // object), its playing-id filter, GetFadeTime and the action's curve.
    ZkActionParams MakeCommand(ZkActionCode code, const PendingAction& pending) const;
    // The command on the target node. 1; 15 when the target is not loaded.
    ZKRESULT ExecuteOnTarget(const ZkActionParams& params) const;

private:
    ZKRESULT SetProperty(uint8_t id, ZkPropertyValue value, ZkPropertyValue minimum, ZkPropertyValue maximum,
                         bool changed);
    // Property 15 (and its range) from milliseconds to samples.
    void ConvertDelayToSamples();

    ZkPackedPropList<4, kPool> m_props;
    ZkPackedPropList<8, kPool> m_ranges;
    ZkUniqueID m_targetID = 0;
    uint16_t m_type;
    uint8_t m_flags = kFlagsAtConstruction;
};
} // namespace ZK::SoundEngine
