#pragma once
// The one guard around every event handler: an exception that escapes the
// handler is shown in the standard error box with its message, the handler
// stops there and the program goes on. Exceptions must never travel through
// Qt's event loop.

#include <QString>
#include <exception>

#include "platform/desktop.h"

template <class Body>
void guarded(QWidget* parent, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& error) {
    desktop().errorBox(parent, QString::fromUtf8(error.what()));
  } catch (...) {
    desktop().errorBox(parent, QStringLiteral("Unknown error"));
  }
}

// A slot that runs `handler` of `owner` inside the guard.
template <class Owner>
auto guardedSlot(Owner* owner, void (Owner::*handler)()) {
  return [owner, handler] { guarded(owner, [&] { (owner->*handler)(); }); };
}
