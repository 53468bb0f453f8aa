// Tests reach data services through the client tables' own adapter over the generated proxies.
#pragma once

#include "contract/TDAProxyDataAdapter.h"

namespace kestrova::test {

using ProxyDataAdapter = TDAProxyDataAdapter;

} // namespace kestrova::test
