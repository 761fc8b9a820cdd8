#pragma once

// A message box a rule asks its caller to show: the rules decide the kind, title and text,
// the caller shows it through the Ask seam. Questions are Yes/No with the default given.

#include <QString>

#include <optional>

namespace upgrade {

struct Box
{
    enum class Kind
    {
        Critical,
        Warning,
        Information,
        Question
    };
    Kind kind = Kind::Critical;
    QString title;
    QString text;
    bool defaultYes = false; // questions only

    bool operator==(const Box& other) const
    {
        return kind == other.kind && title == other.title && text == other.text &&
               defaultYes == other.defaultYes;
    }
};

inline Box critical(const QString& title, const QString& text)
{
    return Box{Box::Kind::Critical, title, text, false};
}
inline Box warning(const QString& title, const QString& text)
{
    return Box{Box::Kind::Warning, title, text, false};
}
inline Box information(const QString& title, const QString& text)
{
    return Box{Box::Kind::Information, title, text, false};
}
inline Box question(const QString& title, const QString& text, bool defaultYes)
{
    return Box{Box::Kind::Question, title, text, defaultYes};
}

} // namespace upgrade
