#pragma once

#include <qrx_engine/ports.h>

// The default profile with a few fields changed by `edit`.
template <class Edit>
qrx_engine::ports::AppProfile profile_with(Edit edit) {
  qrx_engine::ports::AppProfile profile;
  edit(profile);
  return profile;
}
