/*
 * ostrel.h - the public C interface of Ostrel, the analytics client library.
 *
 * The game code drives the library through these nineteen functions. The
 * library records analytics events, buffers them and turns them into upload
 * requests for the collection service. It performs no networking itself:
 * every upload request is queued as a JSON text (a "request message") that
 * the game takes out with Tavi_MessagesCount / Tavi_Zel_GetMessage and sends
 * itself.
 *
 * Lifecycle
 *   Tavi_Init(project) creates the library state and opens a session (a
 *   "_session.start" event is buffered). Setters, event calls, Tavi_Update
 *   and the queue calls follow. Tavi_Destroy closes the session: it records
 *   "_session.stop", flushes everything still buffered into one last
 *   request and releases the library state. Requests still queued at
 *   Tavi_Destroy stay queued: Tavi_MessagesCount and Tavi_Zel_GetMessage
 *   keep working afterwards so the game can send them before it quits.
 *
 *   Exit and unload never destroy the library's state: every function
 *   called from an atexit handler or a static object's destructor behaves
 *   as during the run (Tavi_Destroy there records "_session.stop", and its
 *   request can be taken), and a library unloaded with dlclose (FreeLibrary
 *   on Windows) keeps its session, buffered events and queued requests for
 *   the next dlopen (LoadLibrary). Loading and unloading run none of the
 *   library's code.
 *
 *   Calls made while the library is not initialised (before Tavi_Init, after
 *   Tavi_Destroy, or after a Tavi_Init with an empty project identifier) are
 *   safe: setters and events have no effect and Tavi_Update does nothing;
 *   Tavi_MessagesCount and Tavi_Zel_GetMessage still serve the requests
 *   left from an earlier session. A later Tavi_Init keeps those requests
 *   ahead of the new session's.
 *
 * Events and flushing
 *   Events are buffered and sent as one request when 30 are buffered, when
 *   Tavi_Update finds more than 30 seconds gone since its last check, when
 *   the attribution changes and at Tavi_Destroy. A request carries one event
 *   as a JSON object ("win/record") or several as an array ("win/batch").
 *   The context set through the setters (user, client, application,
 *   platform, locale) is read when the events are flushed, not when they are
 *   recorded. Built-in game events have the category "a" (event type
 *   "a_<name>", keys prefixed "a_"); custom events the category "c" (event
 *   type "c_<name>", attribute keys prefixed "dsa_", metric keys "dsm_");
 *   the session's own events have none (event types "_session.start",
 *   "_session.stop" and "_init_attribution_pc", keys prefixed "_").
 *
 * Texts
 *   Every text argument is a NUL-terminated UTF-8 string owned by the caller;
 *   the library copies it before use and never keeps the pointer. A null
 *   pointer reads as the empty text. Bytes that are not valid UTF-8 are
 *   written as U+FFFD in the uploads.
 *
 *   Texts returned by Tavi_Get_Version and Tavi_Zel_GetMessage are new
 *   arrays that the caller owns, allocated with the allocator the platform's
 *   .NET marshaller releases a returned string with:
 *     - Windows (ostrel.dll): CoTaskMemAlloc; release with CoTaskMemFree()
 *       (objbase.h, link ole32);
 *     - elsewhere (libostrel.so): malloc; release with free().
 *   A C# caller lets the marshaller release them. They are NULL only when
 *   memory runs out; a message is then left queued.
 *
 * Threads
 *   The library creates no threads and takes no locks. Call every function
 *   from one thread, or serialise the calls yourself.
 *
 * Errors
 *   No function reports an error and no C++ exception ever leaves the
 *   library. A call that cannot complete has no effect beyond what already
 *   happened; no buffered event and no queued request is lost.
 */
#ifndef OSTREL_H
#define OSTREL_H

#include <stdint.h>

/* ostrel.dll exports the functions and its users import them; OSTREL_BUILDING
 * is defined only while the library itself is compiled. On ELF the library's
 * symbols are hidden by default and these nineteen made visible. */
#if defined(_WIN32)
#if defined(OSTREL_BUILDING)
#define OSTREL_API __declspec(dllexport)
#else
#define OSTREL_API __declspec(dllimport)
#endif
#else
#define OSTREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle -------------------------------------------------------- */

/* Initialises the library with the project identifier that goes into every
 * upload URL ("project" query parameter) and opens a session by buffering a
 * "_session.start" event. A null or empty identifier while uninitialised
 * creates nothing. While initialised, a second call keeps the first
 * identifier and records no second session start. */
OSTREL_API void Tavi_Init(const char* projectId);

/* Timed flush: call regularly (every frame is fine). When more than 30
 * seconds have passed since the last timed check (31 or more; exactly 30 is
 * not enough), or the clock was set back, everything buffered is flushed into
 * one queued request and the 30-second interval restarts, even when nothing
 * was buffered. The first call after Tavi_Init always flushes. */
OSTREL_API void Tavi_Update(void);

/* Returns the library version "2.0.1". Works in any state.
 * Ownership: a new text, released as described under Texts above. */
OSTREL_API char* Tavi_Get_Version(void);

/* Records "_session.stop", flushes everything buffered into one last request
 * and releases the library state. Queued requests stay queued (see above).
 * Does nothing while uninitialised. */
OSTREL_API void Tavi_Destroy(void);

/* ---- Request queue ---------------------------------------------------- */

/* Number of request messages waiting in the queue, in any state. */
OSTREL_API int32_t Tavi_MessagesCount(void);

/* Removes the oldest request message from the queue and returns it: a
 * compact JSON object {"data":<body text>,"headers":[<header lines>],
 * "url":<full URL>}. On an empty queue returns a new empty text.
 * Ownership: a new text, released as described under Texts above. */
OSTREL_API char* Tavi_Zel_GetMessage(void);

/* ---- Context setters (values are read when events are flushed) -------- */

/* Sets the user identifier written as "user_id" into every event.
 * Setters take effect only while initialised; null reads as "". */
OSTREL_API void Tavi_SetUser(const char* userId);

/* Sets the client identifier ("client_id"). Until set, it is taken from the
 * library's in-memory store, which this call updates when the value changes. */
OSTREL_API void Tavi_SetClient(const char* clientId);

/* Sets the install attribution. A value different from the previous one
 * records an "init_attribution_pc" event (attribute "params") and flushes
 * at once. */
OSTREL_API void Tavi_SetAttribution(const char* attribution);

/* Sets the application identity, in this order: application identifier,
 * package name, title, version name, version code. */
OSTREL_API void Tavi_SetAppData(const char* appId, const char* packageName, const char* title,
                                const char* versionName, const char* versionCode);

/* Sets the device locale code, e.g. "en-US". The first code that is exactly
 * five bytes long also sets the language (its first two bytes, "en") and the
 * country (its 4th and 5th bytes, "US") for the session; later codes change
 * the code only. Lengths count bytes, not characters: each non-ASCII
 * character counts with its UTF-8 bytes, and the 3rd byte is not examined. */
OSTREL_API void Tavi_SetDeviceLocale(const char* localeCode);

/* Sets the platform name (default "Windows") and version. Empty texts replace
 * the default too. */
OSTREL_API void Tavi_SetPlatform(const char* name, const char* version);

/* ---- Game events ------------------------------------------------------ */

/* Records "Levelup" with the metric "level" = level.
 * Event calls take effect only while initialised. */
OSTREL_API void Tavi_Event_LevelUp(int32_t level);

/* Record "Start_loading", "Finish_loading", "Tutorial_start" and
 * "Tutorial_finish". */
OSTREL_API void Tavi_EventStartLoading(void);
OSTREL_API void Tavi_EventFinishLoading(void);
OSTREL_API void Tavi_EventTutorialStart(void);
OSTREL_API void Tavi_EventTutorialFinish(void);

/* Records "Purchase" with the metrics "price", "amount", "validated",
 * "sandbox" and the attributes "currency", "sku", "name". The first two
 * texts are accepted for compatibility and not used. Of validated and
 * sandbox only the low byte is read (1 true, 0 false). Price and amount are
 * stored as given (a price that is not finite is written as null); null
 * texts read as "". */
OSTREL_API void Tavi_EventPurchase(const char* unused1, const char* unused2, double price,
                                   const char* currency, const char* sku, int32_t amount,
                                   int32_t validated, const char* name, int32_t sandbox);

/* Records a custom event named `name`. `attributes` is JSON text: each
 * member of an object (in key order), each element of an array (keys "0",
 * "1", ...) or a lone value (empty key) becomes an attribute when it is a
 * string and a metric when it is a number; other values are skipped.
 * Numbers become metrics as follows:
 *   - an integer keeps its low 32 bits, read as signed when the integer is
 *     negative (-1 stays -1; -2147483649 becomes 2147483647) and as unsigned
 *     otherwise (4294967295 stays; 4294967297 becomes 1);
 *   - a number written with a fraction or an exponent is rounded to single
 *     precision (0.1 becomes 0.100000001490116...): one too small for a
 *     float becomes zero, one beyond the float range (about 3.4e38) becomes
 *     plus or minus infinity;
 *   - a metric that is not finite is written as null in the upload.
 * Attributes that are not valid JSON record nothing (that includes numbers
 * too large for a double, such as 1e400). A null name reads as "", null
 * attributes as JSON null. */
OSTREL_API void Tavi_CustomEvent(const char* name, const char* attributes);

#ifdef __cplusplus
}
#endif

#endif /* OSTREL_H */
