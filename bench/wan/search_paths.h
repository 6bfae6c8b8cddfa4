#pragma once

#include <memory>
#include <string>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "tools/raw_client/raw_client.h"

namespace bench {

// The member search by a name fragment (the dialog's "Nombres" box), the
// statement exactly as the dialog builds it.
std::string SearchByNameText(const std::string& fragment);

// The search through the data layer alone: the dialog's query with the
// member fields the window declares, opened and walked to the end.
class LayerSearch {
  public:
    explicit LayerSearch(const std::string& database_name);
    int Run(const std::string& fragment);

  private:
    db::TIBDatabase database_{"IBDatabase1"};
    db::TIBTransaction transaction_{"IBTransaction1"};
    db::TIBQuery members_{"qsocios"};
};

// The same statement through the bare client API: prepared for every search
// (fresh), or once for the first and then only executed.
class RawSearch {
  public:
    RawSearch(const std::string& database_name, bool prepare_once);
    int Run(const std::string& fragment);

  private:
    bool prepare_once_;
    demo::Attachment attachment_;
    demo::Transaction transaction_{attachment_};
    std::unique_ptr<demo::Statement> kept_;
};

}  // namespace bench
