#pragma once

#include "demo/Population.h"
#include "demo/Schema.h"

#include <functional>

namespace tsql {
class Session;
}

namespace demo {

// Writes the demo databases into a session whose folder holds no database yet: tables first,
// then the rows table by table (one bulk transaction each), then the secondary indexes.
class Generator {
public:
    Generator(tsql::Session &session, const Population &population,
              std::function<void(int percent)> progress);

    void run();

private:
    using Row = std::vector<tsql::Value>;
    using RowSink = std::function<void(const Row &)>;
    // Visits every patient once, giving the sink for the table's rows.
    using PatientPass = std::function<void(int patient, const RowSink &sink)>;

    void load(const TableDef &table, const PatientPass &pass);
    void advance(int patient);

    void loadMaster();
    void loadMaster2();
    void loadAllergies();
    void loadMasterHistory();
    void loadAdmissions();
    void loadAdmissionDetails();
    void loadVisits();
    void loadReference();

    tsql::Session &m_session;
    const Population &m_population;
    std::function<void(int)> m_progress;
    int m_pass = 0;
    int m_passes = 1;
    int m_lastPercent = -1;
};

} // namespace demo
