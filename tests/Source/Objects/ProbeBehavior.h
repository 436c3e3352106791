// A behaviour that writes what it receives (Init, updates, collisions) into a shared log, and can
// run an action from inside its update, so tests can see what the lists and scenes call and can
// change the scene stack or a list from game code as a button would.
#pragma once

#include "Game/Behavior.h"
#include "Objects/GameObject.h"

#include <functional>
#include <string>
#include <vector>

namespace kp::test
{
class ProbeBehavior : public Behavior
{
public:
    ProbeBehavior(std::string label, std::vector<std::string>& log)
        : Behavior(kUnnamed, 0), m_label(std::move(label)), m_log(&log)
    {
    }

    void Init() override { m_log->push_back("init " + m_label); }
    Component* Clone() const override
    {
        auto* copy = new ProbeBehavior(m_label + "'", *m_log);
        copy->CopyFrom(*this);
        copy->m_onUpdate = m_onUpdate;
        return copy;
    }
    void Update(float dt) override
    {
        Behavior::Update(dt);
        m_log->push_back("update " + m_label);
        if (m_onUpdate)
        {
            m_onUpdate();
        }
    }
    void OnCollision(GameObject* other) override { m_log->push_back(m_label + " hit " + other->name); }

    // Runs at the end of every update.
    void SetOnUpdate(std::function<void()> action) { m_onUpdate = std::move(action); }

private:
    std::string m_label;
    std::vector<std::string>* m_log;
    std::function<void()> m_onUpdate;
};

// Adds a probe behaviour labelled with the object's name; returns it.
inline ProbeBehavior* AttachProbe(GameObject& object, std::vector<std::string>& log)
{
    auto* probe = new ProbeBehavior(object.name, log);
    object.AddComponent(probe);
    return probe;
}
} // namespace kp::test
