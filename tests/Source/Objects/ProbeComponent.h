// A component of any kind that writes every operation it receives into a shared log, so tests can
// see in which order an object drives its components and which of them were copied or deleted.
#pragma once

#include "Objects/Component.h"

#include <string>
#include <vector>

namespace kp::test
{
class ProbeComponent : public Component
{
public:
    ProbeComponent(ComponentType kind, std::string label, std::vector<std::string>& log)
        : Component(kind), m_label(std::move(label)), m_log(&log)
    {
    }
    ~ProbeComponent() override { m_log->push_back("delete " + m_label); }

    void Init() override { m_log->push_back("init " + m_label); }
    Component* Clone() const override
    {
        auto* copy = new ProbeComponent(type, m_label + "'", *m_log);
        m_log->push_back("clone " + m_label);
        return copy;
    }
    void Update(float) override { m_log->push_back("update " + m_label); }
    void Draw() override { m_log->push_back("draw " + m_label); }

    const std::string& Label() const { return m_label; }

private:
    std::string m_label;
    std::vector<std::string>* m_log;
};
} // namespace kp::test
