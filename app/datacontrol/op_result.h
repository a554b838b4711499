// The outcome of a DataControl operation: done; not done (start-up asks
// again; elsewhere refused, or acquisition did not pause); or failed after
// the user has been told why.
#ifndef QUILLON_APP_DATACONTROL_OP_RESULT_H
#define QUILLON_APP_DATACONTROL_OP_RESULT_H

namespace quillon {

enum class OpResult { Failed = -1, NotDone = 0, Done = 1 };

// The 1 / 0 / -1 of the settings and start-up texts.
constexpr int toCode(OpResult result) {
    return static_cast<int>(result);
}

// Whether the user is asked the questions of a step, or their defaults apply.
enum class Ask { No, Yes };
// Whether a dialog (which hides the drawing) or a short change holds acquisition.
enum class HoldBy { Change, Dialog };
// Whether a settings change sends the integration time to the unit again.
enum class Integration { Send, Skip };

} // namespace quillon

#endif
