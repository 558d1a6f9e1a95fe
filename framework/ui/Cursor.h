#pragma once

namespace vol {

/// The application-wide mouse cursor.
enum class Cursor { Default, HourGlass };

}  // namespace vol
