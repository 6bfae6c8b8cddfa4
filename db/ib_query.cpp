// The statement side of a query: text, parameters, prepare, bind, execute.
#include "db/ib_query.h"

#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_transaction.h"
#include "db/schema_cache.h"

namespace db {

TIBQuery::TIBQuery(std::string name)
    : TComponent(std::move(name)), base_(this), statement_(this), params_(this) {
    EnsureClientLoaded();
    statement_.GoToFirstRecordOnExecute = false;
    sql_.OnChange = [this] { TextChanged(); };
    auto drop_statement = [this] {
        FirstFailure failure;
        failure.Run([this] { ReleaseResultSet(false); });
        Unprepare();
        failure.Run([this] { statement_.Close(); });
        failure.Run([this] { statement_.FreeHandle(); });
        failure.Rethrow();
    };
    base_.OnBeforeTransactionEnd = drop_statement;
    base_.OnBeforeDatabaseDisconnect = drop_statement;
    base_.IsOpenDataset = [this] { return active_; };
}

TIBQuery::~TIBQuery() {
    ReleaseResultSet(true);
    for (TDataSource* source : std::vector<TDataSource*>(data_sources_))
        source->SetDataSet(nullptr);
}

void TIBQuery::SetDatabase(TIBDatabase* database) {
    base_.SetDatabase(database);
    statement_.Base().SetDatabase(database);
    statement_.Base().SetTransaction(base_.Transaction());
}

void TIBQuery::SetTransaction(TIBTransaction* transaction) {
    base_.SetTransaction(transaction);
    statement_.Base().SetTransaction(transaction);
    statement_.Base().SetDatabase(base_.Database());
}

void TIBQuery::TextChanged() {
    // Every step runs even when closing or releasing the old statement
    // fails: the text, the parameters and the statement change together.
    FirstFailure failure;
    failure.Run([this] { Close(); });
    if (active_) ReleaseResultSet(true);  // a BeforeClose handler failed
    Unprepare();
    ParsedMarkers markers = ScanParamMarkers(sql_.Text());
    parsed_text_ = std::move(markers.parsed_text);
    params_.Rebuild(markers.names);
    Notify(TDataEvent::dePropertyChange);
    failure.Run([this] { statement_.SetText(sql_.Text()); });
    failure.Rethrow();
}

void TIBQuery::Unprepare() {
    if (prepared_) {
        rows_affected_ = statement_.RowsAffected();
        prepared_ = false;
    }
    layout_.reset();
}

const std::vector<TFieldDef>& TIBQuery::FieldDefs() const {
    static const std::vector<TFieldDef> none;
    return layout_ ? layout_->Defs() : none;
}

void TIBQuery::Prepare() {
    StartTransactionImplicitly(base_);
    EnsurePrepared();
}

void TIBQuery::EnsurePrepared() {
    if (prepared_ && statement_.Prepared()) return;
    // The connection may have released an idle statement for others' sake.
    Unprepare();
    if (parsed_text_.size() < 2) RaiseClientError(kEmptySqlStatement);
    statement_.Prepare();
    // A statement the connection kept brings its fields back with it.
    layout_ = statement_.Layout();
    if (!layout_) {
        try {
            layout_ = BuildFieldLayout();
        } catch (...) {
            // Prepared on the server but not as a query: release the handle,
            // so the next open prepares afresh instead of reallocating it.
            CleanUpAfterFailure([this] { statement_.FreeHandle(); });
            throw;
        }
        statement_.KeepLayout(layout_);
    }
    prepared_ = true;
}

std::shared_ptr<const FieldLayout> TIBQuery::BuildFieldLayout() {
    std::vector<TFieldDef> defs;
    TIBXSQLDA& columns = statement_.Current();
    defs.reserve(static_cast<size_t>(columns.Count()));
    for (int i = 0; i < columns.Count(); ++i) {
        const XSQLVAR& var = columns[i].Var();
        TFieldDef def;
        def.name = columns[i].Name();
        def.field_no = i + 1;
        def.column = i;
        if (!DescribeFieldDef(var, def)) continue;  // not reachable as a field
        const std::string relation(var.relname, static_cast<size_t>(var.relname_length));
        const std::string column(var.sqlname, static_cast<size_t>(var.sqlname_length));
        if (!relation.empty() && !column.empty()) {
            // Only editing would use the mark; reading never does.
            def.read_only = Database()->Schema().IsComputed(relation, column);
        }
        defs.push_back(std::move(def));
    }
    return std::make_shared<const FieldLayout>(std::move(defs));
}

void TIBQuery::BindParams() {
    TIBXSQLDA& inputs = statement_.Params();
    for (int i = 0; i < params_.Count(); ++i) {
        TParam& param = params_.ValueAt(i);
        if (i >= inputs.Count()) RaiseClientError(kXsqldaIndexOutOfRange);
        TIBXSQLVAR& var = inputs[i];
        if (param.IsNull()) {
            var.SetIsNull(true);
            continue;
        }
        var.SetIsNull(false);
        using T = TFieldType;
        switch (param.DataType()) {
            case T::ftString:
            case T::ftFixedChar:
            case T::ftBlob:
            case T::ftMemo:
            case T::ftBytes:
                var.SetAsString(param.AsString());
                break;
            case T::ftSmallint:
            case T::ftWord:
            case T::ftBoolean:
                var.SetAsShort(static_cast<int16_t>(param.AsInteger()));
                break;
            case T::ftInteger:
                var.SetAsLong(param.AsInteger());
                break;
            case T::ftFloat:
                var.SetAsDouble(param.AsFloat());
                break;
            case T::ftCurrency:
            case T::ftBCD:
                var.SetAsCurrency(param.AsFloat());
                break;
            case T::ftDate:
                var.SetAsDate(param.AsFloat());
                break;
            case T::ftTime:
                var.SetAsTime(param.AsFloat());
                break;
            case T::ftDateTime:
                var.SetAsDateTime(param.AsFloat());
                break;
            default:
                RaiseClientError(kNotSupported);
        }
    }
}

void TIBQuery::Execute() {
    if (active_) RaiseDatabaseError(this, "Cannot perform this operation on an open dataset");
    if (sql_.Empty()) RaiseClientError(kEmptySqlStatement);
    const bool started = StartTransactionImplicitly(base_);
    try {
        EnsurePrepared();
        if (params_.Count() > 0) BindParams();
        statement_.Base().CheckDatabase();
        statement_.Base().CheckTransaction();
        if (statement_.Text().empty()) RaiseClientError(kEmptyQuery);
        if (statement_.SQLType() == SQLSelect) RaiseClientError(kIsASelectStatement);
        statement_.ExecQuery();
    } catch (...) {
        // The statement's failure is reported, not the auto-stop's after it.
        if (started && Transaction() != nullptr) {
            CleanUpAfterFailure([this] { Transaction()->CheckAutoStop(); });
        }
        throw;
    }
    if (started && Transaction() != nullptr) Transaction()->CheckAutoStop();
}

}  // namespace db
