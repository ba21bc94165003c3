#pragma once

#include "veltrane/contracts/error.h"

namespace veltrane::host {

// Error numbers the store raises, so callers (the command line, tests) can tell failures apart
// without parsing texts. All lie in the application-defined range.
enum StoreError : qint32 {
    kStoreLocationInvalid = kApplicationError + 0x200, // bad file path or URL
    kStoreCannotOpen,                                  // the database cannot be reached or is not a store
    kStoreSchemaTooNew,                                // written by a newer program
    kStoreQueryFailed,                                 // the database refused a statement
    kStoreNotFound,                                    // a named or numbered object is not stored
    kStoreReadOnly,                                    // a read-only parameter set would be overwritten
    kStoreConflict,                                    // changed or created by another connection meanwhile
    kStoreInvalidObject, // an object cannot be stored as it stands (no name, dangling reference, ...)
    kStoreDuplicateName, // another object of the kind already has the name
    kStoreUnknownName,   // unknown type, query or key field
    kStoreImportInvalid, // an exchange file is malformed or inconsistent
    kStoreImportRefused, // an exchange file would overwrite stored sets
};

} // namespace veltrane::host
