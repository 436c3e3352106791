#include "Objects/ComponentFactory.h"

#include "Game/BackButton.h"
#include "Game/Background.h"
#include "Game/BehaviorBlackSquare.h"
#include "Game/Cannon.h"
#include "Game/City.h"
#include "Game/CoinButton.h"
#include "Game/CreditButton.h"
#include "Game/CreditReturn.h"
#include "Game/EmitterDeath.h"
#include "Game/EmitterExplosion.h"
#include "Game/EmitterKey.h"
#include "Game/EmitterTest.h"
#include "Game/FPSDisplay.h"
#include "Game/GoldCounter.h"
#include "Game/HealthBar.h"
#include "Game/Korvane.h"
#include "Game/KorvaneSelectButton.h"
#include "Game/MainConfirm.h"
#include "Game/MenuButton.h"
#include "Game/NoButton.h"
#include "Game/PlayButton.h"
#include "Game/QuitButton.h"
#include "Game/ResumeButton.h"
#include "Game/RetryButton.h"
#include "Game/RoundTimer.h"
#include "Game/ScreenToggle.h"
#include "Game/SettingsButton.h"
#include "Game/SpawnButton.h"
#include "Game/Star.h"
#include "Game/StarResult.h"
#include "Game/TimerResult.h"
#include "Game/Tower.h"
#include "Game/TutorialButton.h"
#include "Game/UpgradeButton.h"
#include "Game/VolumeSlider.h"
#include "Game/VolumeToggle.h"
#include "Game/YesButton.h"
#include "Objects/Audio.h"
#include "Objects/Emitter.h"
#include "Objects/GameObject.h"

namespace
{
// Constructs the class with its argument.
Behavior* ConstructBehavior(const BehaviorChoice& choice)
{
    switch (choice.kind)
    {
    case BehaviorClass::Tower:
        return new Tower(choice.argument);
    case BehaviorClass::Korvane:
        return new Korvane(choice.argument);
    case BehaviorClass::Cannon:
        return new Cannon();
    case BehaviorClass::RoundTimer:
        return new RoundTimer();
    case BehaviorClass::GoldCounter:
        return new GoldCounter();
    case BehaviorClass::TimerResult:
        return new TimerResult();
    case BehaviorClass::VolumeSlider:
        return new VolumeSlider();
    case BehaviorClass::VolumeToggle:
        return new VolumeToggle();
    case BehaviorClass::ScreenToggle:
        return new ScreenToggle();
    case BehaviorClass::FPSDisplay:
        return new FPSDisplay();
    case BehaviorClass::UpgradeButton:
        return new UpgradeButton(choice.argument);
    case BehaviorClass::Background:
        return new Background(choice.argument, choice.text);
    case BehaviorClass::City:
        return new City();
    case BehaviorClass::StarResult:
        return new StarResult();
    case BehaviorClass::Star:
        return new Star(choice.seconds);
    case BehaviorClass::HealthBar:
        return new HealthBar();
    case BehaviorClass::BehaviorBlackSquare:
        return new BehaviorBlackSquare();
    case BehaviorClass::PlayButton:
        return new PlayButton();
    case BehaviorClass::CreditReturn:
        return new CreditReturn();
    case BehaviorClass::SettingsButton:
        return new SettingsButton();
    case BehaviorClass::TutorialButton:
        return new TutorialButton();
    case BehaviorClass::YesButton:
        return new YesButton();
    case BehaviorClass::NoButton:
        return new NoButton();
    case BehaviorClass::QuitButton:
        return new QuitButton();
    case BehaviorClass::CoinButton:
        return new CoinButton();
    case BehaviorClass::MainConfirm:
        return new MainConfirm();
    case BehaviorClass::MenuButton:
        return new MenuButton();
    case BehaviorClass::CreditButton:
        return new CreditButton();
    case BehaviorClass::ResumeButton:
        return new ResumeButton();
    case BehaviorClass::BackButton:
        return new BackButton();
    case BehaviorClass::RetryButton:
        return new RetryButton();
    case BehaviorClass::SpawnButton:
        return new SpawnButton(choice.argument);
    case BehaviorClass::KorvaneSelectButton:
        return new KorvaneSelectButton(choice.argument);
    }
    return nullptr;
}

EmitterBehavior* ConstructEmitterBehavior(EmitterBehaviorClass kind)
{
    switch (kind)
    {
    case EmitterBehaviorClass::EmitterTest:
        return new EmitterTest();
    case EmitterBehaviorClass::EmitterExplosion:
        return new EmitterExplosion();
    case EmitterBehaviorClass::EmitterDeath:
        return new EmitterDeath();
    case EmitterBehaviorClass::EmitterKey:
        return new EmitterKey();
    case EmitterBehaviorClass::None:
        break;
    }
    return nullptr;
}
} // namespace

Behavior* CreateBehavior(const BehaviorChoice& choice)
{
    Behavior* behavior = ConstructBehavior(choice);
    if (behavior != nullptr && !choice.storedName.empty())
    {
        behavior->name = choice.storedName;
    }
    return behavior;
}

Component* CreateEmitterBehavior(const EmitterBehaviorChoice& choice)
{
    EmitterBehavior* behavior = ConstructEmitterBehavior(choice.kind);
    if (behavior != nullptr)
    {
        behavior->name = choice.storedName;
    }
    return behavior;
}

Component* CreateAudioComponent()
{
    return new Audio();
}

Component* AddEmitterFromFile(GameObject& object, const std::string& fileText)
{
    auto* emitter = new Emitter();
    object.AddComponent(emitter);
    emitter->Read(fileText);
    return emitter;
}
