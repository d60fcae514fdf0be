#include "platform/qt/QtMessageFilter.h"

#include <QMessageLogContext>

#include <cstring>

namespace {

QtMessageHandler g_next = nullptr;

void FilterMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (IsQtNoise(type, context.category, text)) {
        return;
    }
    if (g_next != nullptr) {
        g_next(type, context, text);
    }
}

} // namespace

bool IsQtNoise(QtMsgType type, const char* category, const QString& text)
{
    // Only warnings and below: a critical or fatal message always shows.
    if (type != QtWarningMsg && type != QtInfoMsg && type != QtDebugMsg) {
        return false;
    }
    const bool qtCategory
        = category == nullptr || std::strcmp(category, "default") == 0 || std::strncmp(category, "qt.qpa", 6) == 0;
    if (!qtCategory) {
        return false;
    }
    // QPlatformWindow's answer for what a plugin (offscreen, minimal) does
    // not implement, and the fallback of a session without a run-time folder.
    return text.startsWith(QStringLiteral("This plugin does not support "))
        || text.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void InstallQtMessageFilter()
{
    QtMessageHandler previous = qInstallMessageHandler(&FilterMessage);
    if (previous != &FilterMessage) {
        g_next = previous;
    }
}
