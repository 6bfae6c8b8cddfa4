#include "tools/bench_db/bench_database.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "runtime/exception.h"
#include "tools/bench_db/bench_blocks.h"
#include "tools/demo_db/demo_database.h"
#include "tools/raw_client/raw_client.h"

namespace bench {
namespace {

// Rows per block execution, each committed on its own: small enough that a
// block's undo bookkeeping stays cheap, big enough that preparing a block
// costs nothing next to running it.
constexpr int kMembersPerBlock = 25000;
constexpr int kLoansPerBlock = 20000;

class Stopwatch {
  public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::vector<std::string> TextColumn(demo::Transaction& transaction, const std::string& sql) {
    std::vector<std::string> out;
    for (const demo::Row& row : demo::SelectRows(transaction, sql))
        out.push_back(demo::AsText(row.at(0)));
    return out;
}

// The blocks name every CLIENTES column; a schema that gained or lost one
// must fail here with the difference, not half-way with a server error.
void CheckMemberColumns(demo::Attachment& attachment) {
    demo::Transaction transaction(attachment);
    const std::vector<std::string> schema = TextColumn(
        transaction,
        "select trim(rdb$field_name) from rdb$relation_fields where rdb$relation_name = 'CLIENTES' "
        "order by rdb$field_position");
    int count = 0;
    const char* const* names = MemberColumnNames(count);
    const std::vector<std::string> written(names, names + count);
    if (schema != written) {
        std::string detail;
        for (const std::string& name : schema) {
            if (std::find(written.begin(), written.end(), name) == written.end())
                detail += " missing " + name;
        }
        for (const std::string& name : written) {
            if (std::find(schema.begin(), schema.end(), name) == schema.end())
                detail += " unknown " + name;
        }
        if (detail.empty()) detail = " columns in another order";
        throw runtime::Exception("The member block does not match CLIENTES of the schema:" +
                                 detail);
    }
}

// Indexes of the schema that are not behind a constraint: those can be
// switched off while loading and rebuilt in one sort each afterwards.
std::vector<std::string> SecondaryIndexes(demo::Attachment& attachment) {
    demo::Transaction transaction(attachment);
    return TextColumn(
        transaction,
        "select trim(i.rdb$index_name) from rdb$indices i "
        "where coalesce(i.rdb$system_flag, 0) = 0 and not exists ("
        "  select 1 from rdb$relation_constraints c where c.rdb$index_name = i.rdb$index_name) "
        "order by i.rdb$relation_name, i.rdb$index_name");
}

void SetIndexActive(demo::Attachment& attachment, const std::string& index, bool active) {
    demo::Transaction transaction(attachment);
    demo::ExecuteImmediate(transaction,
                           "ALTER INDEX " + index + (active ? " ACTIVE" : " INACTIVE"));
    transaction.Commit();
}

void CheckAllIndexesActive(demo::Attachment& attachment) {
    demo::Transaction transaction(attachment);
    const std::vector<std::string> inactive = TextColumn(
        transaction,
        "select trim(rdb$index_name) from rdb$indices "
        "where coalesce(rdb$system_flag, 0) = 0 and coalesce(rdb$index_inactive, 0) <> 0");
    if (!inactive.empty()) throw runtime::Exception("Index left inactive: " + inactive.front());
}

// Runs one block over [first, last] in steps of `step`, one transaction each.
void RunInBatches(demo::Attachment& attachment, const std::string& block, int first, int last,
                  int step, const std::vector<demo::Value>& extra) {
    for (int from = first; from <= last; from += step) {
        const int to = std::min(last, from + step - 1);
        demo::Transaction transaction(attachment);
        demo::Statement statement(transaction, block);
        std::vector<demo::Value> params{int32_t{from}, int32_t{to}};
        params.insert(params.end(), extra.begin(), extra.end());
        statement.Execute(params);
        transaction.Commit();
    }
}

int CodeWidth(int members) {
    return std::max(6, static_cast<int>(std::to_string(members).size()));
}

}  // namespace

void BuildBenchDatabase(const std::string& path, const BenchDatabaseSize& size,
                        const StepReport& report) {
    if (size.members < 1) throw std::invalid_argument("the database needs at least one member");
    if (CodeWidth(size.members) > 10)
        throw std::invalid_argument("member codes are at most 10 characters");
    {
        Stopwatch watch;
        demo::CreateCoopDatabase(path);
        report("create", watch.Seconds());
    }
    try {
        demo::Attachment attachment(path);
        CheckMemberColumns(attachment);
        const std::vector<std::string> indexes = SecondaryIndexes(attachment);
        for (const std::string& index : indexes) SetIndexActive(attachment, index, false);

        const int32_t employers = size.Employers();
        const int32_t members = size.members;
        const int32_t code_width = CodeWidth(size.members);
        {
            Stopwatch watch;
            demo::Transaction transaction(attachment);
            demo::Statement statement(transaction, EmployersBlock());
            statement.Execute({employers});
            transaction.Commit();
            report("employers", watch.Seconds());
        }
        {
            Stopwatch watch;
            RunInBatches(attachment, MembersBlock(), 1, members, kMembersPerBlock,
                         {employers, code_width});
            report("members", watch.Seconds());
        }
        {
            Stopwatch watch;
            RunInBatches(attachment, LoansBlock(), 1, size.Loans(), kLoansPerBlock,
                         {members, code_width});
            report("loans, schedules, documents, ledger", watch.Seconds());
        }
        for (const std::string& index : indexes) {
            Stopwatch watch;
            SetIndexActive(attachment, index, true);
            report("index " + index, watch.Seconds());
        }
        CheckAllIndexesActive(attachment);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw;
    }
}

std::vector<TableCount> CountRows(const std::string& path) {
    demo::Attachment attachment(path);
    demo::Transaction transaction(attachment);
    std::vector<TableCount> counts;
    for (const char* table : {"EMPRESAS", "CLIENTES", "SOLICITUDPRES", "RENGLONES", "INGRESOSDET",
                              "CCNOTASDET", "NOMINA", "COMPENSACIONDET", "CXCTRX"}) {
        const demo::Value value =
            demo::SelectValue(transaction, std::string("select count(*) from ") + table);
        counts.push_back({table, demo::AsInt(value)});
    }
    return counts;
}

}  // namespace bench
