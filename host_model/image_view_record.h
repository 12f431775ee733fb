// image_view_record.h - the host's side of the ImageView record: the one place that writes the
// two fields the plug-in reads from it.
//
// A host keeps the record as bytes of at least ImageViewMinimumSize, aligned for a pointer, and
// passes their address to the plug-in as the ImageView*. The offsets, and the plug-in's readers
// of the same fields, are in host_api/host_services.h.
#ifndef HOST_MODEL_IMAGE_VIEW_RECORD_H
#define HOST_MODEL_IMAGE_VIEW_RECORD_H

#include <string.h>

#include "host_services.h"

namespace host_model {

// Stores the window that owns the plug-in's message boxes and the CDIB the view shows, each at
// its offset and in the pointer width of this build.
inline void WriteImageViewFields(unsigned char* record, void* ownerWindow, CDIB* image) {
    memcpy(record + ImageViewOwnerWindowOffset, &ownerWindow, sizeof ownerWindow);
    memcpy(record + ImageViewCdibOffset, &image, sizeof image);
}

} // namespace host_model

#endif
