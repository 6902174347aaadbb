// OstrelDelivery.cs - C# binding of libostrel_delivery.so, the delivery
// library that stores Ostrel's request messages in an outbox on disk and
// sends them to a collector.
//
//     using (var outbox = OstrelDelivery.Outbox.Open(folder, "https://collector.example",
//                                                    null, OnEvent))
//     {
//         for (int n = Ostrel.Tavi_MessagesCount(); n > 0; n--)
//         {
//             string message = Ostrel.Tavi_Zel_GetMessage();
//             var stored = outbox.Submit(message);
//             if (stored.Result == OstrelDelivery.NotStored) KeepAndSubmitLater(message);
//         }
//         long kept = outbox.Close(2000);   // sent by the next run
//     }
//
// The player's consent: open with Options.requireConsent = 1 to send
// nothing until outbox.SetConsent(OstrelDelivery.ConsentGiven); a denial
// (ConsentDenied) deletes every stored request, reported by a Purged event
// with its Count, and Submit then answers NoConsent. outbox.Consent() reads
// the decision the outbox keeps (ConsentUndecided, ConsentGiven or
// ConsentDenied).
//
// One DllImport per export of ostrel_delivery.h under its own name, plus the
// Outbox class, which owns the handle and keeps the event delegate alive
// until the library is done with it (an Outbox never disposed keeps it, and
// its outbox, until the process ends). Library name: "ostrel_delivery"
// resolves to libostrel_delivery.so (LD_LIBRARY_PATH, the system paths, or
// a Mono <dllmap>).
//
// Texts go in as UTF-8. Texts the library writes (key, error) are read from
// byte buffers; Delivery_Version's text is static and is only read, never
// freed. Events arrive on a thread of the library's own, never inside a call
// (see ostrel_delivery.h): the handler must be thread-safe and must not
// close its own outbox. Any method may be called from any thread, also while
// another disposes the Outbox: a call that starts after Dispose throws
// ObjectDisposedException, one that races it finds the outbox closed.

using System;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;

public static class OstrelDelivery
{
    private const string Library = "ostrel_delivery";
    private const CallingConvention Convention = CallingConvention.Cdecl;
    private const UnmanagedType Utf8 = UnmanagedType.LPUTF8Str;

    public const int KeySize = 37;
    public const int GzipThreshold = 1024;
    public const int Stored = 0, Malformed = 1, NotStored = 2, NoConsent = 3;
    public const int ConsentUndecided = 0, ConsentGiven = 1, ConsentDenied = 2;
    public const int Sent = 1, Retry = 2, Rejected = 3, Dropped = 4, OutboxMoved = 5,
                     OutboxDamaged = 6, Purged = 7;

    [StructLayout(LayoutKind.Sequential)]
    public struct Options
    {
        public long maxRequests, maxBytes, maxAgeSeconds, firstRetryMs, maxRetryMs,
                    connectTimeoutMs, requestTimeoutMs;
        public long requireConsent; // 1: nothing is sent before consent is given
        public long uncompressed;   // 1: every body goes out uncompressed
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct Counts
    {
        public long stored, sent, retries, rejected, dropped;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct NativeEvent
    {
        public int kind;
        public IntPtr key;
        public int status;
        public int attempts;
        public long delayMs;
        public IntPtr reason;
        public IntPtr path;
        public int senderThread;
        public long count;
    }

    // An event with its texts decoded.
    public sealed class Event
    {
        public int Kind, Status, Attempts;
        public long DelayMs;
        public string Key, Reason, Path;
        public bool SenderThread; // caused by the sender, not by one of the caller's calls
        public long Count;        // Purged: the requests deleted
    }

    [UnmanagedFunctionPointer(Convention)]
    public delegate void EventCallback(IntPtr context, IntPtr nativeEvent);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr Delivery_Version();

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Delivery_DefaultOptions(out Options options);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern int Delivery_CheckCollectorUrl([MarshalAs(Utf8)] string collectorUrl,
                                                        byte[] error, UIntPtr errorSize);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr Delivery_Open([MarshalAs(Utf8)] string folder,
                                              [MarshalAs(Utf8)] string collectorUrl,
                                              ref Options options, EventCallback onEvent,
                                              IntPtr context, byte[] error, UIntPtr errorSize);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern int Delivery_Submit(IntPtr outbox, [MarshalAs(Utf8)] string message,
                                             byte[] key, out long bytes, byte[] error,
                                             UIntPtr errorSize);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern int Delivery_SetConsent(IntPtr outbox, int consent, byte[] error,
                                                 UIntPtr errorSize);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern int Delivery_Consent(IntPtr outbox);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern long Delivery_Pending(IntPtr outbox);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern long Delivery_Wait(IntPtr outbox, long timeoutMs);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Delivery_GetCounts(IntPtr outbox, out Counts counts);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern long Delivery_Close(IntPtr outbox, long waitMs);

    public static string Version() { return FromUtf8(Delivery_Version()); }

    // A NUL-terminated UTF-8 text owned by the library, decoded.
    public static string FromUtf8(IntPtr text)
    {
        if (text == IntPtr.Zero) return "";
        int length = 0;
        while (Marshal.ReadByte(text, length) != 0) length++;
        var bytes = new byte[length];
        Marshal.Copy(text, bytes, 0, length);
        return Encoding.UTF8.GetString(bytes);
    }

    // The NUL-terminated UTF-8 text the library wrote into `buffer`.
    public static string FromBuffer(byte[] buffer)
    {
        int length = Array.IndexOf(buffer, (byte)0);
        return Encoding.UTF8.GetString(buffer, 0, length < 0 ? buffer.Length : length);
    }

    public struct SubmitResult
    {
        public int Result;   // Stored, Malformed or NotStored
        public string Key;   // when stored
        public long Bytes;   // when stored
        public string Error; // otherwise
    }

    public sealed class Outbox : IDisposable
    {
        private IntPtr handle;
        private GCHandle callback; // the delegate, kept alive until Close has returned

        private Outbox(IntPtr handle, EventCallback callback)
        {
            this.handle = handle;
            if (callback != null) this.callback = GCHandle.Alloc(callback);
        }

        // Opens the outbox (see Delivery_Open); `options` null: the defaults.
        // Throws ArgumentException with the library's reason when it cannot.
        public static Outbox Open(string folder, string collectorUrl, Options? options,
                                  Action<Event> onEvent)
        {
            Options chosen;
            if (options.HasValue) chosen = options.Value;
            else Delivery_DefaultOptions(out chosen);
            EventCallback callback = null;
            if (onEvent != null)
                callback = (context, native) => onEvent(Decode(native));
            var error = new byte[512];
            IntPtr handle = Delivery_Open(folder, collectorUrl, ref chosen, callback, IntPtr.Zero,
                                          error, (UIntPtr)error.Length);
            if (handle == IntPtr.Zero) throw new ArgumentException(FromBuffer(error));
            return new Outbox(handle, callback);
        }

        private static Event Decode(IntPtr native)
        {
            var e = (NativeEvent)Marshal.PtrToStructure(native, typeof(NativeEvent));
            return new Event
            {
                Kind = e.kind, Status = e.status, Attempts = e.attempts, DelayMs = e.delayMs,
                Key = FromUtf8(e.key), Reason = FromUtf8(e.reason), Path = FromUtf8(e.path),
                SenderThread = e.senderThread != 0, Count = e.count
            };
        }

        public SubmitResult Submit(string message)
        {
            var key = new byte[KeySize];
            var error = new byte[512];
            long bytes;
            int result = Delivery_Submit(Handle(), message, key, out bytes, error,
                                         (UIntPtr)error.Length);
            return new SubmitResult
            {
                Result = result, Key = result == Stored ? FromBuffer(key) : null,
                Bytes = result == Stored ? bytes : 0,
                Error = result == Stored ? null : FromBuffer(error)
            };
        }

        // Keeps the player's decision, ConsentGiven or ConsentDenied, in the
        // outbox. Returns null once the outbox holds it, else the reason (it
        // then stands for this outbox and is written later; see
        // Delivery_SetConsent).
        public string SetConsent(int consent)
        {
            var error = new byte[512];
            return Delivery_SetConsent(Handle(), consent, error, (UIntPtr)error.Length) == 1
                       ? null : FromBuffer(error);
        }

        // ConsentUndecided, ConsentGiven or ConsentDenied; -1 when unknown.
        public int Consent() { return Delivery_Consent(Handle()); }

        public long Pending() { return Delivery_Pending(Handle()); }

        public long Wait(long timeoutMs) { return Delivery_Wait(Handle(), timeoutMs); }

        public Counts GetCounts()
        {
            Counts counts;
            Delivery_GetCounts(Handle(), out counts);
            return counts;
        }

        // Waits at most waitMs for the last requests, stops the sender and
        // releases the handle; returns the requests kept for the next run.
        // Once closed (here or on another thread), returns 0.
        public long Close(long waitMs)
        {
            IntPtr closing = Interlocked.Exchange(ref handle, IntPtr.Zero);
            if (closing == IntPtr.Zero) return 0;
            long kept = Delivery_Close(closing, waitMs);
            if (callback.IsAllocated) callback.Free(); // the library calls it no more
            return kept;
        }

        public void Dispose() { Close(0); }

        // The library's handle stays valid after Close (it is never freed), so
        // a call that read it just before another thread closed it is safe.
        private IntPtr Handle()
        {
            IntPtr current = Volatile.Read(ref handle);
            if (current == IntPtr.Zero) throw new ObjectDisposedException("Outbox");
            return current;
        }
    }
}
