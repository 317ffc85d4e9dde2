#pragma once
// The library's error scheme: operations raise qbx_exception; every public entry point catches it
// (and any other standard exception) and turns it into its status code through the two catch
// functions, which also tell the user and end the program after too many errors.
#include <cstdint>
#include <exception>

// Error kinds (qbx_exception::code), as 32-bit two's complement where negative.
constexpr uint32_t QBX_ERR_USER_BREAK = uint32_t(-3);    // the user left the setup dialog
constexpr uint32_t QBX_ERR_UNKNOWN = uint32_t(-8);       // an exception not the library's own
constexpr uint32_t QBX_ERR_DISPLAY = uint32_t(-9);       // display layer, `value` its result
constexpr uint32_t QBX_ERR_SYSTEM = uint32_t(-10);       // system call, `value` its error code
constexpr uint32_t QBX_ERR_MODE_CHOICE = uint32_t(-11);  // no usable mode chosen
constexpr uint32_t QBX_ERR_MODE_REQUEST = uint32_t(-12); // no mode for the request
constexpr uint32_t QBX_ERR_PIXEL_FORMAT = uint32_t(-19); // no converter for the display format
constexpr uint32_t QBX_ERR_TEXT = uint32_t(-21);         // the message alone
constexpr uint32_t QBX_ERR_NO_MEMORY = 3;
constexpr uint32_t QBX_ERR_VBE_FIRST = 0x300, QBX_ERR_VBE_LAST = 0x3FF;

class qbx_exception : public std::exception {
  public:
    uint32_t code = 0;
    uint32_t unused = 0;
    uint32_t value = 0; // a system error code or a display layer result
    uint32_t x = 0, y = 0, bpp = 0;
    uint32_t r_mask = 0, g_mask = 0, b_mask = 0;
    const char* message = "";

    // The text for `code`, composed into `msg` (each call overwrites the previous text).
    const char* what() const noexcept override;

    static char msg[1024];

    qbx_exception(uint32_t code, const char* message) : code(code), message(message) {}
    qbx_exception(uint32_t code, uint32_t value, const char* message)
        : code(code), value(value), message(message) {}

    // A display layer failure (QBX_ERR_DISPLAY) with the layer's result.
    static qbx_exception display(int32_t result, const char* message);
    // A system failure (QBX_ERR_SYSTEM) with the system's error code.
    static qbx_exception system(uint32_t error, const char* message);
    // A mode request that failed (QBX_ERR_MODE_CHOICE, QBX_ERR_MODE_REQUEST).
    static qbx_exception mode(uint32_t code, uint32_t value, uint32_t x, uint32_t y, uint32_t bpp,
                              const char* message);
    // A display format without a converter (QBX_ERR_PIXEL_FORMAT).
    static qbx_exception format(uint32_t bpp, uint32_t r_mask, uint32_t g_mask, uint32_t b_mask,
                                const char* message);
};

// Raises the display layer error with `result` when it is a failure.
void qbx_check_display(int32_t result, const char* message);

// Errors left before the program gives up: the fourth caught library error of a run ends it.
extern int32_t qbx_killcount;

// Reports the error (message box, log, standard error) and returns e.code; ends the program with
// status 0 when the error budget runs out.
uint32_t qbx_catch_exception(qbx_exception& e);
// Reports an exception that is not the library's own and returns QBX_ERR_UNKNOWN.
uint32_t qbx_catch_unknown(std::exception& e);

// Runs `body` (returning a status) inside the library's error handler.
template <typename Body>
uint32_t qbx_guarded(Body&& body) {
    try {
        return body();
    } catch (qbx_exception& e) {
        return qbx_catch_exception(e);
    } catch (std::exception& e) {
        return qbx_catch_unknown(e);
    }
}
