// Qt's own chatter on standard error: what a platform plugin says about a
// feature it lacks ("This plugin does not support propagateSizeHints()"), and
// the run-time folder Qt falls back to, are no news to the operator and are
// dropped. Every other message of Qt goes on
// to the handler that was installed before; the program's own lines are
// written to standard error directly and never pass through here.
#pragma once

#include <QString>
#include <QtGlobal>

// True for a message of Qt's that tells the operator nothing: what a platform
// plugin cannot do, or that XDG_RUNTIME_DIR was not set.
bool IsQtNoise(QtMsgType type, const char* category, const QString& text);

// Installs the filter in front of the handler in place now (Qt's own by default).
void InstallQtMessageFilter();
