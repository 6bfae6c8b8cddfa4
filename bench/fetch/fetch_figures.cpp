// Fetch figures: a large result walked through the data layer's buffered
// query and through the raw client API, in the same process, on the same
// warm database.

#include <cstdio>
#include <limits>
#include <stdexcept>

#include "bench/fetch/figures.h"
#include "bench/fetch/walks.h"

namespace bench {
namespace {

constexpr int kRounds = 3;
constexpr int64_t kAllRows = std::numeric_limits<int64_t>::max();

struct FetchCase {
    std::string prefix;       // figure names start with it
    std::string dataset_sql;  // with named markers
    std::string raw_sql;      // the same with "?" markers
    std::vector<NamedValue> params;
};

void FailOnDifferentData(const std::string& what, const WalkSums& raw, const WalkSums& dataset) {
    if (raw.SameData(dataset)) return;
    char detail[256];
    std::snprintf(detail, sizeof detail,
                  "raw %lld rows, %lld text bytes, integer sum %lld; "
                  "dataset %lld rows, %lld text bytes, integer sum %lld",
                  static_cast<long long>(raw.rows), static_cast<long long>(raw.text_bytes),
                  static_cast<long long>(raw.integers), static_cast<long long>(dataset.rows),
                  static_cast<long long>(dataset.text_bytes),
                  static_cast<long long>(dataset.integers));
    throw std::runtime_error(what + ": the two walks read different data (" + detail + ")");
}

std::vector<int32_t> Values(const std::vector<NamedValue>& params) {
    std::vector<int32_t> values;
    for (const NamedValue& param : params) values.push_back(param.value);
    return values;
}

// Rates of both paths (best of kRounds each, taken alternately so that a
// passing load on the machine hits both alike), their ratio, and the
// dataset's memory per row. Every timed walk includes prepare, execute
// and close.
void CompareWalks(BenchContext& context, db::TIBQuery& query, const FetchCase& fetch) {
    const std::vector<int32_t> raw_params = Values(fetch.params);

    // Untimed: brings the pages into the engine's cache and the file into
    // the system's, and makes the first server lookups of the dataset.
    const WalkSums raw_sums = WalkRaw(context.Raw(), fetch.raw_sql, raw_params, kAllRows);
    const DatasetWalk first_walk = WalkDataset(query, fetch.dataset_sql, fetch.params, kAllRows);
    FailOnDifferentData(fetch.prefix, raw_sums, first_walk.sums);

    Timing raw{1e9, 1e9};
    Timing dataset{1e9, 1e9};
    for (int round = 0; round < kRounds; ++round) {
        raw = Best(raw,
                   Measure([&] { WalkRaw(context.Raw(), fetch.raw_sql, raw_params, kAllRows); }));
        dataset =
            Best(dataset,
                 Measure([&] { WalkDataset(query, fetch.dataset_sql, fetch.params, kAllRows); }));
    }
    const double rows = static_cast<double>(raw_sums.rows);
    PrintFigure(fetch.prefix + "_rows", rows, "rows");
    PrintFigure(fetch.prefix + "_raw_rate", rows / raw.wall, "rows/s");
    PrintFigure(fetch.prefix + "_dataset_rate", rows / dataset.wall, "rows/s");
    PrintFigure(fetch.prefix + "_dataset_raw_time_ratio", dataset.wall / raw.wall, "x", 3);
    PrintFigure(fetch.prefix + "_dataset_raw_cpu_ratio", dataset.cpu / raw.cpu, "x", 3);
    PrintFigure(fetch.prefix + "_dataset_row_bytes", static_cast<double>(first_walk.row_size),
                "bytes/row");
    PrintFigure(fetch.prefix + "_reference_row_bytes",
                static_cast<double>(first_walk.reference_row_size), "bytes/row");
    PrintFigure(fetch.prefix + "_dataset_resident_bytes",
                static_cast<double>(first_walk.resident_growth) / rows, "bytes/row");
}

}  // namespace

void ScheduleFigures(BenchContext& context) {
    // The schedules of the first loans, whole, up to at least a million rows.
    constexpr int64_t kLongWalk = 1000000;
    constexpr int64_t kShortWalk = 100000;
    demo::Transaction& raw = context.Raw();
    const int32_t first_loan = static_cast<int32_t>(
        demo::AsInt(demo::SelectValue(raw, "select min(REN_PRESTAMONO) from RENGLONES")));
    demo::Value last = demo::SelectValue(
        raw, "select REN_PRESTAMONO from RENGLONES order by REN_PRESTAMONO rows " +
                 std::to_string(kLongWalk) + " to " + std::to_string(kLongWalk));
    if (demo::IsNull(last))
        last = demo::SelectValue(raw, "select max(REN_PRESTAMONO) from RENGLONES");
    const int32_t last_loan = static_cast<int32_t>(demo::AsInt(last));

    const FetchCase schedule{"schedule",
                             "select * from RENGLONES where REN_PRESTAMONO between :a and :b",
                             "select * from RENGLONES where REN_PRESTAMONO between ? and ?",
                             {{"a", first_loan}, {"b", last_loan}}};
    // Named like the main window's schedule query.
    db::TIBQuery& query = context.Query("qcuotas");
    CompareWalks(context, query, schedule);

    // Walking ten times the rows should take at most ten times as long:
    // the cache grows by reallocation, which must not turn quadratic. The
    // raw path's own ratio shows how much of any excess is the server's.
    const std::vector<int32_t> raw_params = Values(schedule.params);
    Timing shorter{1e9, 1e9};
    Timing longer{1e9, 1e9};
    Timing raw_shorter{1e9, 1e9};
    Timing raw_longer{1e9, 1e9};
    int64_t long_rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        shorter = Best(shorter, Measure([&] {
                           WalkDataset(query, schedule.dataset_sql, schedule.params, kShortWalk);
                       }));
        longer = Best(
            longer, Measure([&] {
                long_rows =
                    WalkDataset(query, schedule.dataset_sql, schedule.params, kLongWalk).sums.rows;
            }));
        raw_shorter = Best(
            raw_shorter, Measure([&] { WalkRaw(raw, schedule.raw_sql, raw_params, kShortWalk); }));
        raw_longer = Best(raw_longer,
                          Measure([&] { WalkRaw(raw, schedule.raw_sql, raw_params, kLongWalk); }));
    }
    if (long_rows < kLongWalk) {
        std::fprintf(stderr,
                     "coop-bench: only %lld schedule rows; the walk figures cover fewer rows\n",
                     static_cast<long long>(long_rows));
    }
    PrintFigure("schedule_walk_100k_time", shorter.wall, "s", 3);
    PrintFigure("schedule_walk_1m_time", longer.wall, "s", 3);
    PrintFigure("schedule_walk_linearity", longer.wall / shorter.wall, "x", 2);
    PrintFigure("schedule_raw_walk_linearity", raw_longer.wall / raw_shorter.wall, "x", 2);
}

void MemberFigures(BenchContext& context) {
    CompareWalks(context, context.Query("qsocios"),
                 FetchCase{"members", "select * from CLIENTES", "select * from CLIENTES", {}});
}

}  // namespace bench
