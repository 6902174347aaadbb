/*
 * ostrel_delivery.h - the public C interface of the delivery library.
 *
 * The game takes Ostrel's request messages (the texts Tavi_Zel_GetMessage
 * returns) and hands each one to Delivery_Submit. The library stores it in
 * an outbox on disk and sends it to a collector from a thread of its own.
 * Nothing is lost when the collector is down, the game quits or the process
 * is killed: what is not yet delivered is sent by the next run.
 *
 *   Delivery_Outbox* outbox = Delivery_Open(folder, "https://collector.example",
 *                                           NULL, on_event, NULL, error, sizeof error);
 *   ... every frame, for every message taken from Ostrel:
 *   char key[DELIVERY_KEY_SIZE];
 *   if (Delivery_Submit(outbox, message, key, NULL, error, sizeof error) != DELIVERY_STORED)
 *     keep_the_message_and_submit_it_later(message);
 *   ... when the player decides (see Consent):
 *   Delivery_SetConsent(outbox, DELIVERY_CONSENT_DENIED, error, sizeof error);
 *   ... when the game quits:
 *   int64_t kept = Delivery_Close(outbox, 2000);   // sent by the next run
 *
 * Outbox
 *   One SQLite database in write-ahead-log mode, "outbox.sqlite" in the
 *   folder given to Delivery_Open (created owner-only, 0700; the database
 *   files are 0600). One row per request: its number in the outbox's stream
 *   (see Completeness), its body as submitted (never stored compressed), the
 *   X-Api-Key and Content-Type header lines of the message, its target (the
 *   path and query of the message's url), an idempotency key, the attempts
 *   made and the time of the next attempt; besides them the stream's id,
 *   what left undelivered and is not yet reported, the player's consent and
 *   whether the collector takes gzip. An outbox of 1.x (no stream) is
 *   brought up to date when it is first opened, in one transaction: its
 *   requests are kept and numbered 1, 2, 3, ... in the order they were
 *   stored. Once it is, 1.x can no longer open it (its stores fail with the
 *   reason, and it sends nothing), so no request is stored outside the
 *   numbering. When Delivery_Submit returns DELIVERY_STORED the request is
 *   in the outbox's files and survives a crash of the process;
 *   Delivery_Submit never waits for the disk. Not necessarily a crash of
 *   the machine: an operating-system crash or power loss may lose the
 *   requests stored in the second or so before it, and, when it comes just
 *   after the log was started over, may leave the outbox damaged (then
 *   moved aside, see Bad conditions). Several processes may share one
 *   outbox.
 *   The folder is trusted only when it is this user's and neither group nor
 *   others can write it: otherwise nothing is stored (DELIVERY_NOT_STORED,
 *   with the reason) and nothing sent. No symbolic link is followed for the
 *   database, its "-wal" and "-shm" files or "outbox.lock" (one given in the
 *   folder's own name is the caller's choice).
 *
 * Disk use
 *   The bounds (below) hold the requests; the files around them stay within
 *   DELIVERY_DISK_ALLOWANCE bytes more, also under stores at full speed:
 *   the sender copies the log ("outbox.sqlite-wal") into the database at
 *   least once a second, a store that leaves the log past 4 MiB has a
 *   thread of the library's own copy it (past 8 MiB, when that thread
 *   cannot keep up, the store copies it itself), and a log started over is
 *   cut back to 4 MiB on disk. A request
 *   larger than 4 MiB passes through the log whole: until the next copy the
 *   log holds its size besides.
 *
 * Sending
 *   One sender thread per outbox handle, oldest request first, over one
 *   reused connection. The collector URL replaces the scheme, host and port
 *   of the message's url; path and query are kept. The body is the message's
 *   "data" byte for byte, gzip-compressed on the wire when larger than
 *   DELIVERY_GZIP_THRESHOLD (see Compression), with the message's X-Api-Key
 *   and Content-Type header lines exactly as they are (an empty value
 *   included; a message without a Content-Type line is sent without one)
 *   and these, in this order:
 *     Idempotency-Key: <key>          the same on every attempt and in every
 *                                     run, so a collector can recognise a
 *                                     request it has already stored
 *     Ostrel-Stream: <stream id>      the same on every attempt
 *     Ostrel-Sequence: <number>       the same on every attempt
 *     Ostrel-Dropped: <notice>        when something is to be told (see
 *                                     Completeness); it may grow between
 *                                     attempts
 *     Content-Encoding: gzip          when the body is compressed
 *   No other header line goes out but HTTP's own Host and Content-Length.
 *   - 2xx: delivered, the row is deleted, and the collector has the notice
 *     the request carried.
 *   - 415 to a compressed body: the collector does not take gzip; the
 *     outbox remembers it, the same request goes again at once uncompressed
 *     (a DELIVERY_RETRY event with status 415 and delayMs 0), and every
 *     later one does too. A 415 never sets a request aside.
 *   - No answer (connection error, timeout, TLS failure), 5xx, 408, 429, or
 *     any other status outside 2xx and 4xx: tried again after a delay drawn
 *     at random between 0 and firstRetryMs * 2^(attempts-1), at most
 *     maxRetryMs ("full jitter"). A Retry-After answer (seconds or an HTTP
 *     date) lengthens that delay to the time it names, up to one hour; it
 *     never shortens it ("Retry-After: 0", or a date already past, leaves
 *     the drawn delay).
 *   - Any other 4xx, or a request that cannot be sent whatever the network
 *     and the collector do (libcurl refuses it, or it was stored under
 *     other limits): the request is set aside as rejected. It stays in the
 *     outbox for inspection (with the status, 0 when none, and the reason or
 *     the start of the answer) and is never sent again; the next one goes.
 *   After an outage the kept requests are sent spaced out: when a request is
 *   delivered after failed attempts that lasted D, and n requests wait, the
 *   next ones go out one per 2D/(3(n+1)) (at most maxRetryMs), until the
 *   outbox is empty. A collector coming back sees each client at no more
 *   than about 1.5 times its usual rate. Only one process sends from a
 *   shared outbox at a time; the others take over when it closes or dies.
 *   TLS certificate and host name checks are always on.
 *   Delays and outage lengths run on the monotonic clock, so a wall clock
 *   set back or forward changes neither; a next-attempt time another run
 *   stored is trusted at most one hour ahead (the longest delay).
 *
 * Bounds
 *   At most maxRequests requests, maxBytes bytes (body as submitted, not
 *   compressed, header lines and target counted) and requests no older than
 *   maxAgeSeconds. Over a bound the oldest request (rejected ones included)
 *   is dropped and reported as a DELIVERY_DROPPED event, and to the
 *   collector (see Completeness). A request larger than maxBytes on its own
 *   is not stored (DELIVERY_NOT_STORED).
 *
 * Completeness
 *   Each outbox has a stream: a random UUID made with the outbox, and the
 *   numbers 1, 2, 3, ... it gives the requests it stores, in storage order,
 *   across runs and across the processes sharing it, never given twice.
 *   Every request that leaves the outbox without being delivered is told to
 *   the collector on the following requests' "Ostrel-Dropped" line, until a
 *   2xx answer to one of them acknowledges it:
 *     notice  = item *(";" item)
 *     item    = reason "=" ranges | "damaged=" stream-id ":" ranges
 *     reason  = "count" | "bytes" | "age"    dropped over that bound
 *             | "rejected"                   set aside (see Sending)
 *             | "consent"                    deleted when consent was denied
 *     ranges  = range *("," range)
 *     range   = n | n "-" m | n "-"          n to m; "n-": n and every later
 *                                            number of that stream
 *   for example "count=17-20,31;age=40-52". A line carries at most 64 ranges,
 *   the oldest first; the rest follow once those are acknowledged, so the
 *   line stays small however much was dropped. A rejected request dropped
 *   later over a bound is not told again.
 *   A collector can therefore count, for each stream, the numbers up to the
 *   highest it has seen that it neither received nor was told of: zero when
 *   nothing was lost unannounced (scripts/collector --report does).
 *   A damaged outbox: when the outbox file is moved aside (see Bad
 *   conditions), or found missing after a connection of this process had
 *   it open, a fresh outbox starts a new stream, and
 *   its first requests carry "damaged=<old stream id>:<n>-": of the old
 *   stream, every number from n on that the collector has not received was
 *   lost with the file. n is the lowest number the old file still shows as
 *   not delivered, or 1 when it cannot be read. When the old file cannot be
 *   read at all and no connection of this process had it open, the old
 *   stream's id is lost with it and nothing is told: the collector sees the
 *   old stream end at the highest number it received, and cannot know of
 *   requests stored after that, nor of drops not yet told. A damaged log
 *   (see Bad conditions) may lose the last transactions, and with them the
 *   numbers they gave: the numbers such transactions may have used are
 *   never given again, and are told as "damaged=<this stream id>:<n>-<m>".
 *   What is told of a request the collector also received (dropped while it
 *   was being sent, say) is still told; the collector counts it received.
 *
 * Compression
 *   A body larger than DELIVERY_GZIP_THRESHOLD bytes goes out in gzip
 *   (zlib, its fastest level) with "Content-Encoding: gzip", compressed on
 *   the sender's thread, never in Delivery_Submit; what the collector
 *   decodes is the body as submitted, byte for byte, on every attempt. A
 *   30-event batch shrinks about thirty times. The outbox stores bodies as
 *   submitted, so the byte bound counts them uncompressed. The option
 *   "uncompressed" sends every body as it is; a collector's 415 does so
 *   from then on (see Sending).
 *
 * Consent
 *   With the option "requireConsent", nothing is sent until the player has
 *   given consent (Delivery_SetConsent): requests are stored meanwhile, and
 *   sent oldest first once it is given. Without it, an outbox where nothing
 *   was decided sends as always. The decision is kept in the outbox, for
 *   later runs and the other processes sharing it (Delivery_Consent reads
 *   it). When consent is denied:
 *   - no transfer starts after Delivery_SetConsent returns, and one in
 *     progress in this process is abandoned at once; another process
 *     sharing the outbox abandons the transfer it has in progress (or was
 *     starting as the call returned) within about a second, and starts no
 *     other;
 *   - every request in the outbox is deleted (a DELIVERY_PURGED event gives
 *     the count), in one transaction, so for every process at once. Then
 *     the database is rewritten without the pages they occupied (SQLite's
 *     secure_delete zeroes their rows in any case) and the log is copied
 *     into it and cut to nothing, so that no file of the outbox holds their
 *     bodies; the copies moved aside or kept as damaged (see Bad
 *     conditions) are removed too. When another process's reads keep the
 *     log from being cut, the sender of any process tries again every
 *     second until it is;
 *   - Delivery_Submit stores nothing and returns DELIVERY_NO_CONSENT, in
 *     every process sharing the outbox.
 *   The deletion is not told to the collector while consent is denied:
 *   nothing leaves the device. The stream's numbers go on, so when consent
 *   is given again, the first requests tell "consent=<the deleted
 *   numbers>"; requests deleted are never sent.
 *   A decision that cannot be written to the outbox now (a full disk...)
 *   stands for this handle (a denial: nothing stored, nothing sent) and is
 *   written by the sender as soon as the outbox can be written, or by
 *   Delivery_Close; one that Delivery_Close cannot write either is lost
 *   with the handle (make it again in the next run).
 *
 * Bad conditions
 *   - An outbox file that is not a database, or is damaged, is moved aside
 *     (renamed "outbox.sqlite.unreadable-<milliseconds since 1970>", its log
 *     with it) and a fresh outbox, with a new stream, started (see
 *     Completeness); so is anything in place of one of the outbox's files
 *     that is not a file of this user's (a folder, a symbolic link, another
 *     user's file...). A DELIVERY_OUTBOX_MOVED event says where it went and
 *     why. Every connection, in this process or
 *     another, uses the fresh file before its next store or send: no store
 *     reports DELIVERY_STORED for a request in a file moved aside.
 *   - A damaged log: SQLite uses the log only up to its first damaged frame
 *     (none of it when its header is damaged), and the requests stored in
 *     the frames after that are lost. The log holds only what was stored
 *     since the last copy into the database (see Disk use): about the last
 *     second of stores while a sender runs (in this process or another),
 *     everything stored since the last copy while none does. Damage that
 *     loses requests is found when the outbox is opened and no other
 *     process uses it, and reported as a DELIVERY_OUTBOX_DAMAGED event with
 *     a copy of the log ("outbox.sqlite-wal.damaged-<ms>").
 *   - A log damaged by a crash of the machine: see Completeness for the
 *     stream's numbers.
 *   - A folder that cannot be created, written or trusted, a full disk, or
 *     an outbox locked by another process for more than a second:
 *     Delivery_Submit returns DELIVERY_NOT_STORED with the reason, stores
 *     nothing, and the game goes on. The request is still the caller's:
 *     keep it and submit it again later. Every later call tries the folder
 *     again.
 *
 * Threads and callbacks
 *   Every function may be called from any thread, Delivery_Close included:
 *   a call racing Delivery_Close, or made after it, finds the handle closed
 *   (see each function) and never touches freed memory; calls on one
 *   handle are serialised inside. The callback runs on a thread of the
 *   library's own, one event at a time in the order they happened, never
 *   inside one of the caller's calls: the callback may take locks the
 *   caller holds around its calls, and may call the library (except
 *   Delivery_Close on its own handle, which returns -1 there and closes
 *   nothing). Events a call causes (a drop at a bound, a file moved aside)
 *   reach it there soon after, and may do so while the call is still
 *   returning (Delivery_Open's too). The event and its texts are
 *   valid during the call only. Delivery_Close hands the callback the
 *   events still queued before it returns (so it waits for the callback: do
 *   not call it holding a lock the callback takes), and the callback is
 *   never called after that.
 *
 * Texts are NUL-terminated UTF-8, owned by the caller and copied before use.
 * No C++ exception leaves the library.
 */
#ifndef OSTREL_DELIVERY_H
#define OSTREL_DELIVERY_H

#include <stddef.h>
#include <stdint.h>

/* The library is built for POSIX systems (its outbox relies on their files
 * and locks), where these functions are its only exported symbols. */
#if defined(__GNUC__)
#define DELIVERY_API __attribute__((visibility("default")))
#else
#define DELIVERY_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the buffer Delivery_Submit writes the idempotency key to: a
 * UUID text of 36 characters and the terminating NUL. */
#define DELIVERY_KEY_SIZE 37

/* What a message may hold and still be storable: its url's path and query
 * (percent-encoded) and each of its header lines at most this many bytes. */
#define DELIVERY_MAX_TARGET_SIZE 8192
#define DELIVERY_MAX_HEADER_LINE_SIZE 8192

/* How far the outbox's files on disk ("outbox.sqlite" and its "-wal" and
 * "-shm" files) may exceed the byte bound (see Disk use): 8 MiB for the log
 * and the database's own pages, and 256 bytes per request of the count bound
 * for each row's key, times and SQLite's bookkeeping. */
#define DELIVERY_DISK_ALLOWANCE(maxRequests) (8388608 + 256 * (int64_t)(maxRequests))

/* Bodies larger than this many bytes go out gzip-compressed (see
 * Compression). */
#define DELIVERY_GZIP_THRESHOLD 1024

typedef struct Delivery_Outbox Delivery_Outbox;

/* 2.0 added requireConsent and uncompressed (and Delivery_Event's count):
 * a program built against 1.x is built again (it keeps loading
 * libostrel_delivery.so.1 meanwhile). */
typedef struct Delivery_Options {
  int64_t maxRequests;      /* default 10000 */
  int64_t maxBytes;         /* default 52428800 (50 MiB) */
  int64_t maxAgeSeconds;    /* default 604800 (7 days) */
  int64_t firstRetryMs;     /* default 1000: ceiling of the first retry delay */
  int64_t maxRetryMs;       /* default 300000 (5 minutes): ceiling of every delay */
  int64_t connectTimeoutMs; /* default 10000 */
  int64_t requestTimeoutMs; /* default 30000: one whole attempt */
  int64_t requireConsent;   /* default 0; 1: nothing is sent before consent is given */
  int64_t uncompressed;     /* default 0; 1: every body goes out uncompressed */
} Delivery_Options;

/* Results of Delivery_Submit. */
#define DELIVERY_STORED 0     /* in the outbox on disk */
#define DELIVERY_MALFORMED 1  /* not a request message, or past a limit above; never storable */
#define DELIVERY_NOT_STORED 2 /* folder not writable, disk full, too large...: try later */
#define DELIVERY_NO_CONSENT 3 /* the player denied consent: not stored, drop it */

/* The player's decision (Delivery_SetConsent, Delivery_Consent). */
#define DELIVERY_CONSENT_UNDECIDED 0
#define DELIVERY_CONSENT_GIVEN 1
#define DELIVERY_CONSENT_DENIED 2

/* Event kinds; a callback ignores kinds it does not know (more may come). */
#define DELIVERY_SENT 1         /* key, status, attempts */
#define DELIVERY_RETRY 2        /* key, status (0: no answer), attempts, delayMs, reason */
#define DELIVERY_REJECTED 3     /* key, status (0: none), attempts, reason */
#define DELIVERY_DROPPED 4      /* key, reason: "count", "bytes" or "age" */
#define DELIVERY_OUTBOX_MOVED 5 /* path (where the unusable file went), reason */
/* Damage the library found and could not undo, or a state that keeps it from
 * sending: reason; path, when not "", a copy of the damaged file. */
#define DELIVERY_OUTBOX_DAMAGED 6
#define DELIVERY_PURGED 7 /* count: requests deleted as consent was denied */

typedef struct Delivery_Event {
  int32_t kind;
  const char* key;      /* the request's idempotency key; "" when none */
  int32_t status;       /* HTTP status of the answer; 0 when none */
  int32_t attempts;     /* attempts made so far, this one included */
  int64_t delayMs;      /* DELIVERY_RETRY: wait before the next attempt */
  const char* reason;   /* "" when none */
  const char* path;     /* "" when none */
  int32_t senderThread; /* 1: caused by the sender; 0: by one of the caller's calls */
  int64_t count;        /* DELIVERY_PURGED: the requests deleted; else 0 */
} Delivery_Event;

typedef void (*Delivery_EventCallback)(void* context, const Delivery_Event* event);

typedef struct Delivery_Counts {
  int64_t stored;   /* by this handle's Delivery_Submit */
  int64_t sent;     /* delivered by this handle's sender */
  int64_t retries;  /* failed attempts that will be tried again */
  int64_t rejected; /* set aside by this handle's sender */
  int64_t dropped;  /* dropped over a bound, by this handle */
} Delivery_Counts;

/* The library version, "2.0.0". A static text: do not free it. */
DELIVERY_API const char* Delivery_Version(void);

/* Fills `options` with the defaults above. */
DELIVERY_API void Delivery_DefaultOptions(Delivery_Options* options);

/* Returns 1 when `collectorUrl` is usable by Delivery_Open (see there),
 * else 0 with the reason in `error` (cut to errorSize bytes; may be null). */
DELIVERY_API int32_t Delivery_CheckCollectorUrl(const char* collectorUrl, char* error,
                                                size_t errorSize);

/* Opens the outbox in `folder` (created when missing) and starts its sender
 * thread, which sends the requests earlier runs left first. `collectorUrl`
 * is "http" or "https", "://", a host (name, IPv4 or bracketed IPv6) and an
 * optional port, nothing else but an optional final "/". `options` null:
 * the defaults; a field of 0 or less: its default. `onEvent` may be null;
 * `context` is handed to it unchanged.
 * Returns null, with the reason in `error` (cut to errorSize bytes; may be
 * null), for an unusable collector URL, an empty folder name or a failure
 * to start the thread. A folder that cannot be written is not an error
 * here: the handle is returned and Delivery_Submit reports it. */
DELIVERY_API Delivery_Outbox* Delivery_Open(const char* folder, const char* collectorUrl,
                                            const Delivery_Options* options,
                                            Delivery_EventCallback onEvent, void* context,
                                            char* error, size_t errorSize);

/* Stores one request message, the text exactly as Tavi_Zel_GetMessage
 * returned it. Never waits for the network, nor for data to reach the disk
 * (see Outbox; it may wait up to a second for another process's lock).
 * Returns DELIVERY_STORED and writes the request's idempotency key to `key`
 * (DELIVERY_KEY_SIZE bytes; may be null) and its size as counted by the
 * byte bound to `bytes` (may be null). Otherwise returns DELIVERY_MALFORMED
 * or DELIVERY_NOT_STORED, stores nothing, and writes the reason to `error`
 * (cut to errorSize bytes; may be null). DELIVERY_MALFORMED: not the JSON
 * object {"data": text, "headers": [text...], "url": text} with each member
 * once; a header line not "Name: value" (a token name, a value without
 * control characters but tab); or a url path and query or a header line
 * past its limit above. DELIVERY_NO_CONSENT: the player denied consent (see
 * Consent). Storing may drop the oldest requests over a bound (see above).
 * On a closed handle: DELIVERY_NOT_STORED. */
DELIVERY_API int32_t Delivery_Submit(Delivery_Outbox* outbox, const char* message, char* key,
                                     int64_t* bytes, char* error, size_t errorSize);

/* Keeps the player's decision, DELIVERY_CONSENT_GIVEN or _DENIED, in the
 * outbox (see Consent). Denied: deletes every stored request (on this
 * thread: a moment's disk work, more for a full outbox) and reports
 * DELIVERY_PURGED. Returns 1 when the outbox holds the decision; 0 with the
 * reason in `error` (cut to errorSize bytes; may be null) when it does not
 * yet: it stands for this handle meanwhile and is written as soon as it
 * can be (see Consent). Returns 0 and changes nothing for any other value
 * or a closed handle. */
DELIVERY_API int32_t Delivery_SetConsent(Delivery_Outbox* outbox, int32_t consent, char* error,
                                         size_t errorSize);

/* The decision in force: DELIVERY_CONSENT_UNDECIDED, _GIVEN or _DENIED, as
 * made by any process (this handle's own one not yet written included); -1
 * when the outbox cannot be read or the handle is closed. */
DELIVERY_API int32_t Delivery_Consent(Delivery_Outbox* outbox);

/* Requests in the outbox waiting to be sent (rejected ones not counted), by
 * any process; -1 when the outbox cannot be read or the handle is closed. */
DELIVERY_API int64_t Delivery_Pending(Delivery_Outbox* outbox);

/* Waits until nothing is pending, or `timeoutMs` has passed, or the next
 * attempt is due only after that (at once while consent holds sending), or
 * another thread closes the handle; returns what is pending then (-1 when
 * unknown or closed). */
DELIVERY_API int64_t Delivery_Wait(Delivery_Outbox* outbox, int64_t timeoutMs);

/* What this handle has done so far (zeros once it is closed); a request that
 * Delivery_Wait saw leave the outbox is in the counts when it returns. */
DELIVERY_API void Delivery_GetCounts(Delivery_Outbox* outbox, Delivery_Counts* counts);

/* Waits like Delivery_Wait(outbox, waitMs), then stops the sender (a
 * transfer still running is abandoned, whatever it is doing: its request is
 * kept), copies the log into the database, hands the callback the events
 * still queued, and releases the handle's outbox. Returns within waitMs
 * plus about 50 ms (plus the time the callbacks for those last events
 * take); calls in progress on other threads return meanwhile. Returns the
 * requests left pending in the outbox, kept for the next run (-1 when
 * unknown). A null handle returns 0; a handle already closed returns what
 * its first Close returned (-1 while that runs). */
DELIVERY_API int64_t Delivery_Close(Delivery_Outbox* outbox, int64_t waitMs);

#ifdef __cplusplus
}
#endif

#endif /* OSTREL_DELIVERY_H */
