#pragma once
// TReportDesignStore: keeps the designs of a security database's reports, as changed
// in the report designer, so the reports window and jovsecadm report use them again.
// A design is kept either with the alias's settings (in the alias file) or in a file
// beside a local database file ("<database file>.reports.ini"), one group of keys per
// report, named after its definition ("rdUsers"). The format is plain INI and read
// tolerantly: a key left out keeps the described value; a value that cannot be read
// refuses the whole design, which then changes nothing.

#include <QString>
#include <QStringList>
#include <QVariantMap>

class TReportDesign;

class TReportDesignStore {
public:
    enum Place { Default, WithAlias, InDatabaseFolder };

    explicit TReportDesignStore(const QString& alias);

    // The file beside the database that keeps its designs; empty when the alias
    // names no local database file.
    QString folderFile() const;
    // Why designs cannot be kept in the database's folder; empty when they can.
    QString folderProblem() const;
    // Where a report's design is kept now (the database's folder comes first).
    Place placeOf(const QString& report) const;
    // "with the settings of the alias X" or "in /path/file", for messages.
    QString describe(Place place) const;

    struct Loaded {
        Place place = Default; // where the design used came from; Default when none
        QString problem; // why a kept design was refused or changed, for a message
    };
    // Puts the kept design of a report into its definition and the fields of the
    // definition's record set (which must be open).
    Loaded load(const QString& report, TReportDesign& definition) const;
    // Keeps the definition's design at a place and removes any copy at the other;
    // false, with the reason in error, when it cannot. subTitle is kept only when it
    // differs from defaultSubTitle.
    bool save(const QString& report, const TReportDesign& definition, Place place, const QString& defaultSubTitle,
              QString* error) const;
    // Removes the kept design from both places; false, with the reason, when a copy
    // stays.
    bool remove(const QString& report, QString* error) const;

    // A definition as keys and values, and back: fromMap changes nothing and returns
    // why when a value cannot be read; dropped receives the password columns it left
    // out.
    static QVariantMap toMap(const TReportDesign& definition, const QString& defaultSubTitle);
    static QString fromMap(const QVariantMap& values, TReportDesign& definition, QStringList* dropped = nullptr);

private:
    QVariantMap folderValues(const QString& report, QString* problem) const;
    bool writeFolder(const QString& report, const QVariantMap& values, QString* error) const;

    QString m_alias;
};
