#pragma once

#include <string>
#include <vector>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "tools/raw_client/raw_client.h"

namespace bench {

// The repaired loan and its documents as the window lists them (the
// schedule's own rows left out), read once and untimed, so the paths below
// send only the repair's writes.
struct RepairLoan {
    std::string member;
    int32_t loan = 0;
    demo::Value date, amount, registro, tipo;
    std::vector<demo::Row> documents;  // kind, number, date, instalment, capital, interest
};
RepairLoan ReadRepairLoan(const std::string& database_name, const std::string& member,
                          int32_t loan);

// The record a repair leaves in REPARACIONES: its image's size in bytes
// (sent in parts of 16,000, as the program sends it). Zero parts: the
// database keeps no records.
struct RecordSize {
    size_t image_bytes = 0;
    bool kept = false;
};
// The size of the program's last record of that repair ("Reindexar",
// "Corregir Tabla") in the database, read untimed.
RecordSize LastRecordSize(const std::string& database_name, const std::string& repair);

// Both repairs' writes through the bare client API in one transaction:
// each statement prepared for every row (fresh) or once per kind; the
// correction's total paid moved per instalment as the program moves it,
// and the record of the given size inserted before the commit.
class RawRepairs {
  public:
    RawRepairs(const std::string& database_name, bool prepare_once);
    void Rebuild(const RepairLoan& loan, const RecordSize& record = {});
    void Correct(const RepairLoan& loan, const RecordSize& record = {});

  private:
    void Record(demo::Transaction& transaction, const RepairLoan& loan, const char* repair,
                const RecordSize& record);

    bool prepare_once_;
    demo::Attachment attachment_;
    unsigned run_;          // tells this run's record ids from another's
    unsigned records_ = 0;  // numbers them within the run
};

// The same writes through the data layer alone: the window's scratch query
// with the window's statements and named parameters, ended by a commit that
// keeps the transaction, as the window ends a repair.
class LayerRepairs {
  public:
    explicit LayerRepairs(const std::string& database_name);
    void Rebuild(const RepairLoan& loan);
    void Correct(const RepairLoan& loan);

  private:
    db::TIBDatabase database_{"IBDatabase1"};
    db::TIBTransaction transaction_{"IBTransaction1"};
    db::TIBQuery scratch_{"IBQuery1"};
};

}  // namespace bench
