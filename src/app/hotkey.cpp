#include "app/hotkey.h"

namespace sb::app {

UnavailableHotKey::UnavailableHotKey(QString reason, QObject* parent)
    : GlobalHotKey(parent), reason_(std::move(reason))
{}

GlobalHotKey::Registration UnavailableHotKey::registerKey()
{
    return {Outcome::Unsupported, reason_};
}

} // namespace sb::app
