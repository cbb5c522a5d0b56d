#pragma once
// How long work tells its caller how far it has come: `done` of `total` items, and the item
// it is working on now.

#include <cstddef>
#include <functional>

#include <QString>

namespace trevalo {

using Progress = std::function<void(std::size_t done, std::size_t total, const QString& item)>;

}  // namespace trevalo
