#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace sqlcmd {

// sqlcmd's scripting variables: set by options, -v, :setvar, or taken from the environment;
// names are case-insensitive and $(name) anywhere in a line is replaced by the value.
class Variables {
public:
    void set(const QString &name, const QString &value);
    void remove(const QString &name);
    // The value set here, else the environment's (unless environment variables are off).
    std::optional<QString> value(const QString &name) const;
    void setUseEnvironment(bool use) { m_environment = use; }
    // Every variable set here, sorted by name, for :listvar.
    QList<QPair<QString, QString>> all() const;

    // Replaces each $(name). A name that is not set is left as written and reported in
    // `undefined` (the first one).
    QString expand(const QString &line, QString *undefined) const;

    // A name sqlcmd takes: no blanks, no quotes, not itself of the form $(...).
    static bool validName(const QString &name);
    // The value of :setvar or -v as written: "quoted" with "" for a quote, or a single word.
    // nullopt when it is neither (blanks outside quotes, an open quote).
    static std::optional<QString> parseValue(const QString &text);

private:
    struct Entry {
        QString name; // as first written, for :listvar
        QString value;
    };
    QMap<QString, Entry> m_values; // keyed by the upper-case name
    bool m_environment = true;
};

} // namespace sqlcmd
