#pragma once
// The database upgrade as data: one row per step, in the order they run. Keeping the statements
// as literal rows lets a reviewer hold them against the site's upgrade list line by line.

#include <QString>
#include <QStringList>
#include <vector>

namespace maintenance {

struct UpgradeStep {
    enum class Kind {
        Statement,         // runs every time
        AddMissingColumn,  // table, column, type: adds the column when the look-up misses it
        ColumnCheck,       // column, table, statement: runs the statement when the column is missing
        TableCheck,        // table, database, statement: runs the statement when the table is missing
        DropTable,         // table of Patient_Data: dropped every time
        RebuildHistory,    // base name: drops tbhis<base> and copies the columns of tb<base>
    };
    Kind kind;
    QString first;  // table (AddMissingColumn), column (ColumnCheck), table (TableCheck), base name
    QString second; // column (AddMissingColumn), table (ColumnCheck), database (TableCheck)
    QString text;   // statement, or the column type of AddMissingColumn
};

const std::vector<UpgradeStep> &upgradeSteps();

// The tables the upgrade drops and creates again, whose rows are carried across.
QStringList rebuiltHistoryTables();

} // namespace maintenance
