#pragma once

// Configuration profiles: a device's configuration saved to a file and applied later to
// many devices, whole or by named category, by hand or through a department's link. Applying
// never carries a device's identity (host name and static addresses are stripped).
//
// Plain functions. Loading uses the process-wide configuration store as its scratch area.

#include "commands.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace profiles {

// The chosen file name with ".txt" appended unless it already ends so (in any case).
QString withTxtExtension(const QString& chosen);
// How a profile is named on devices and in the audit trail: the absolute path with "/".
QString profileKey(const QString& path);
// "mrl_profile_filename=" + key + LF (category 54).
QByteArray profileFilenameText(const QString& key);

// The bytes of a profile file: the device's stored configuration text unchanged, with the
// platform's line ends (CR LF on Windows, LF elsewhere). Existing CR LF pairs stay single.
QByteArray fileData(const QByteArray& storedText, bool crlf);
QByteArray fileData(const QByteArray& storedText);

// Whether a configuration text holds a setting to apply (a line of some category other than
// the profile's own name).
bool holdsConfiguration(const QByteArray& text);
// The administrator's text when a device whose configuration the server does not hold yet
// is to be saved as a profile.
QString nothingToSaveText();

// Loads a profile into the configuration store (emptied first) and records its key as
// mrl_profile_filename. A profile that cannot be read, or that holds no configuration line,
// leaves the store empty and is reported, so it is never applied as an empty configuration.
enum class LoadResult
{
    Loaded,
    Unreadable,
    NoConfiguration
};
LoadResult loadIntoStore(const QString& path);
// The administrator's text for a profile that could not be loaded.
QString loadFailureText(LoadResult result, const QString& path);

// Keeps the configuration store's settings for its lifetime: applying a profile uses the
// store as scratch space, and the dialogs and commands read the selected device's current
// values from it, so a profile applied in the background must not leave them behind.
class StoreGuard
{
public:
    StoreGuard();
    ~StoreGuard();
    StoreGuard(const StoreGuard&) = delete;
    StoreGuard& operator=(const StoreGuard&) = delete;

private:
    QByteArray m_saved;
};

// The named categories: a selection is complete when it holds every one of them.
bool isCompleteSelection(const QList<int>& categoryIds);
// The configuration messages that apply the store to a device, identity stripped: one for
// all categories when the selection is complete, otherwise one per category in the given
// order. Nothing when a message cannot be built (a text too long for a message).
std::optional<QList<QByteArray>> messages(const QList<int>& categoryIds, bool complete, bool compress);

// Agents below major version 8 cannot take a profile; from 8.1.0 on they take a reset state.
bool canTakeProfile(const commands::DeviceFacts& device);
bool canTakeResetState(const commands::DeviceFacts& device);

// What a connecting member of a linked department receives, in order: the whole profile
// from the store, then (8.1.0 and later) the frame that makes it the reset state. Empty for
// an agent that cannot take a profile or when the message cannot be built.
QList<QByteArray> policyFrames(const commands::DeviceFacts& device);

// ---- audit trail and summaries ------------------------------------------------------------------
QString createdSentence(const QString& path, const QString& serial);
QString appliedSentence(const QString& key, const QString& serial);
QString appliedPageSentence(int page, const QString& key, const QString& serial);
QString customResetStateSentence(const QString& serial);
QString linkedSentence(const QString& path, const QString& department);
QString unlinkedSentence(const QString& department);
QString missingLinkedProfileSentence(const QString& path, const QString& department);
QString missingLinkedProfileStatus(const QString& path, const QString& department);
QString loadSummary(int sent, int ignored);

} // namespace profiles
