#pragma once

#include <memory>
#include <string>
#include <vector>

namespace db {

class TIBDatabase;
class TIBSQL;
class TComponent;

// Per connection: which columns of each table are computed or have a
// default value, looked up once per table through the connection's own
// transaction.
class SchemaCache {
  public:
    explicit SchemaCache(TIBDatabase& database);
    ~SchemaCache();

    bool IsComputed(const std::string& relation, const std::string& column);
    bool HasDefault(const std::string& relation, const std::string& column);

  private:
    struct ColumnFacts {
        std::string name;
        bool computed = false;
        bool has_default = false;
    };
    struct Relation {
        std::string name;
        std::vector<ColumnFacts> columns;
    };
    const ColumnFacts* Find(const std::string& relation, const std::string& column);
    void Load(Relation& relation);

    TIBDatabase& database_;
    std::vector<Relation> relations_;
    std::unique_ptr<TComponent> owner_;
    std::unique_ptr<TIBSQL> statement_;
};

}  // namespace db
