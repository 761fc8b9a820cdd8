#include "savefailures.h"

#include "audit.h"

#include <QDir>

#include <array>

namespace rvx::saves {

namespace {

struct Episode
{
    bool failing = false;
    int failures = 0;
};

struct State
{
    std::array<Episode, KindCount> episodes{};
    std::function<void(const QString&)> sink;
};

State& state()
{
    static State s;
    return s;
}

Episode& episode(Kind kind)
{
    return state().episodes.at(static_cast<size_t>(kind));
}

void tell(const QString& text)
{
    if (state().sink)
        state().sink(text);
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

QString noun(Kind kind)
{
    switch (kind) {
    case Kind::Departments:
        return QStringLiteral("departments file");
    case Kind::History:
        return QStringLiteral("device history");
    case Kind::LastSeen:
        return QStringLiteral("last-seen table");
    case Kind::Profile:
        return QStringLiteral("configuration profile");
    case Kind::Whitelist:
        return QStringLiteral("storage whitelist");
    case Kind::RsyncConfiguration:
        return QStringLiteral("rsync configuration");
    case Kind::Download:
        return QStringLiteral("download");
    }
    return QString();
}

QString failureStatus(Kind kind, const QString& path, const QString& reason)
{
    QString text = QStringLiteral("Could not save the ") + noun(kind) + QStringLiteral(" (") +
                   QDir::toNativeSeparators(path) + QLatin1Char(')');
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    // Background writes are made again (the next change, report or check); a file the
    // administrator was saving is saved again by saving it again.
    const bool retried = kind == Kind::Departments || kind == Kind::History || kind == Kind::LastSeen ||
                         kind == Kind::Download;
    return text + (retried
                       ? QStringLiteral(". What was saved before is kept; RVX saves it again when it can.")
                       : QStringLiteral(". What was saved before is kept."));
}

QString recoveredStatus(Kind kind)
{
    return capitalised(noun(kind)) + QStringLiteral(" saved again.");
}

QString failureSentence(Kind kind, const QString& path, const QString& reason)
{
    QString text =
        QStringLiteral("could not save ") + noun(kind) + QLatin1Char(' ') + QDir::toNativeSeparators(path);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return text;
}

void failed(Kind kind, const QString& path, const QString& reason)
{
    Episode& e = episode(kind);
    ++e.failures;
    if (e.failing)
        return;
    e.failing = true;
    tell(failureStatus(kind, path, reason));
    logEvent(failureSentence(kind, path, reason));
}

void succeeded(Kind kind)
{
    Episode& e = episode(kind);
    if (!e.failing)
        return;
    e = Episode{};
    tell(recoveredStatus(kind));
}

bool failing(Kind kind)
{
    return episode(kind).failing;
}

int failureCount(Kind kind)
{
    return episode(kind).failures;
}

void setStatusSink(std::function<void(const QString& text)> sink)
{
    state().sink = std::move(sink);
}

void reset()
{
    state().episodes = {};
}

} // namespace rvx::saves
