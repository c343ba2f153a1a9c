#pragma once
// The product register ARU (the numbered cabins) and the one routine that owns
// a product's rented/free status.
#include "db/Database.h"

#include <QString>

namespace vl::rental {

// The two product statuses the program names.
inline const QString ProductFree = QStringLiteral("SZA");
inline const QString ProductRented = QStringLiteral("FOG");

class ProductStore {
public:
    // Adds or rewrites a product (code, group, status, and its remark when
    // given); where it stands is left as it is.
    static void StoreProduct(vl::db::Transaction& tx, const QString& kod, const QString& arucsoport,
                             const QString& allapot, const QString* megjegyzes = nullptr);

    // Brings ARU.ALLAPOT, UGYFEL, CIM and BIZONYLAT of one product in line with
    // the contracts: when an item of an active, not cancelled contract holds the
    // product and is not back (FORGKABIN.VSZALL empty), the product is rented
    // ("FOG") at that contract's customer and site (the newest such contract);
    // otherwise a rented product becomes free ("SZA") and its place is cleared.
    // A product that is out on any contract is therefore never freed, and a
    // product in another status (damaged ...) that is on no contract keeps it.
    // Call it after storing, taking back, removing or cancelling. Returns the
    // status it left. The code "*" (no product yet) is ignored.
    static QString UpdateProductStatus(vl::db::Transaction& tx, const QString& kod);
};

} // namespace vl::rental
