#pragma once

#include <string>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"

namespace bench {

// The lookup's seven statements through the data layer alone, with the
// main window's declared fields but no window: separates the layer's cost
// from the window's label and grid updates.
class LayerLookup {
  public:
    explicit LayerLookup(const std::string& database_name);
    void Run(const std::string& member_code);

  private:
    db::TIBDatabase database_{"IBDatabase1"};
    db::TIBTransaction transaction_{"IBTransaction1"};
    db::TIBQuery scratch_{"IBQuery1"};
    db::TIBQuery members_{"qsocios"};
    db::TIBQuery loans_{"qpres"};
    db::TIBQuery schedule_{"qcuotas"};
    db::TIBQuery documents_{"qcxc"};
};

}  // namespace bench
