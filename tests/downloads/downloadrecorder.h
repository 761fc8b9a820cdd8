#pragma once

// Records what a DownloadManager reports, in order.

#include "downloadmanager.h"
#include "testsupport.h"

#include <QList>
#include <QStringList>

struct Completion
{
    int errorCount = 0;
    qint64 bytesInFile = 0;
    bool interactive = false;
};

class DownloadRecorder
{
public:
    explicit DownloadRecorder(DownloadManager& manager)
    {
        QObject::connect(&manager, &DownloadManager::downloadProgress, &manager,
                         [this](const QString& comment, int percent) {
                             comments << comment;
                             percents << percent;
                         });
        QObject::connect(&manager, &DownloadManager::downloadError, &manager,
                         [this](const QString& error, bool interactive) {
                             errors << error;
                             errorFlags << interactive;
                         });
        QObject::connect(&manager, &DownloadManager::downloadCompleted, &manager,
                         [this](int errorCount, qint64 bytesInFile, bool interactive) {
                             completions << Completion{errorCount, bytesInFile, interactive};
                         });
    }

    bool waitForCompletion(int timeoutMs = 20000)
    {
        return rvx::test::waitFor([this] { return !completions.isEmpty(); }, timeoutMs);
    }
    bool waitForError(int timeoutMs = 20000)
    {
        return rvx::test::waitFor([this] { return !errors.isEmpty(); }, timeoutMs);
    }
    // Percentages start at 0 and only rise, each reported once.
    bool percentsRise() const
    {
        if (percents.isEmpty() || percents.first() != 0)
            return false;
        for (int i = 1; i < percents.size(); ++i) {
            if (percents[i] <= percents[i - 1] || percents[i] > 100)
                return false;
        }
        return true;
    }
    void clear()
    {
        comments.clear();
        percents.clear();
        errors.clear();
        errorFlags.clear();
        completions.clear();
    }

    QStringList comments;
    QList<int> percents;
    QStringList errors;
    QList<bool> errorFlags;
    QList<Completion> completions;
};
