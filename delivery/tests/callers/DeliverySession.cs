// The C# binding's marshalling against libostrel_delivery.so: texts in and
// out, the options, the event delegate, counts, consent, Close and Dispose,
// and calls racing Dispose, which must never reach freed memory. The rules
// behind the calls are the C++ tests'. Exits with 1 when a check fails.

using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Net;
using System.Net.Sockets;
using System.Threading;

static class DeliverySession
{
    static int failed;

    static void Check(bool ok, string what)
    {
        if (ok) return;
        failed++;
        Console.Error.WriteLine("FAILED: " + what);
    }

    static string Message()
    {
        string body = "{\\\"event_type\\\":\\\"a_Levelup\\\",\\\"event_timestamp\\\":1," +
                      "\\\"arrival_timestamp\\\":1,\\\"event_version\\\":\\\"1.0\\\"," +
                      "\\\"application\\\":{\\\"title\\\":\\\"Ærø\\\"},\\\"client\\\":{},\\\"device\\\":{}," +
                      "\\\"session\\\":{},\\\"attributes\\\":{},\\\"metrics\\\":null}";
        return "{\"data\":\"" + body + "\",\"headers\":[\"X-Api-Key: " +
               "Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0\",\"Content-Type: application/json\"]," +
               "\"url\":\"https://analytics.example.com/v1/win/record?project=cs-game\"}";
    }

    static Process StartCollector(string folder, out string url)
    {
        string portFile = Path.Combine(folder, "port");
        var start = new ProcessStartInfo("python3")
        {
            UseShellExecute = false, RedirectStandardOutput = true,
            Arguments = "\"" + Environment.GetEnvironmentVariable("COLLECTOR") + "\" --port 0 " +
                        "--project cs-game --out \"" + Path.Combine(folder, "stored.jsonl") +
                        "\" --port-file \"" + portFile + "\""
        };
        start.EnvironmentVariables.Remove("LD_PRELOAD");  // a sanitizer runtime is for mono only
        var collector = Process.Start(start);
        for (int tries = 0; tries < 500 && !File.Exists(portFile); tries++) Thread.Sleep(20);
        url = "http://127.0.0.1:" + File.ReadAllText(portFile).Trim();
        return collector;
    }

    static int Main()
    {
        string folder = Path.Combine(Path.GetTempPath(), "cs-outbox-" + Guid.NewGuid());
        Directory.CreateDirectory(folder);
        try
        {
            Marshalling(folder);
            Consent(Path.Combine(folder, "consent"));
            if (Environment.GetEnvironmentVariable("DELIVERY_CALLER_NO_RACES") == "1")
                Console.WriteLine("calls racing Dispose: not made in this build");
            else
                CallsRacingDispose(Path.Combine(folder, "raced"));
        }
        finally { Directory.Delete(folder, true); }
        Console.WriteLine(failed == 0 ? "passed" : failed + " failed");
        return failed == 0 ? 0 : 1;
    }

    static void Marshalling(string folder)
    {
        Check(OstrelDelivery.Version() == "2.0.0", "version " + OstrelDelivery.Version());
        try
        {
            OstrelDelivery.Outbox.Open(Path.Combine(folder, "outbox"), "ftp://h", null, null);
            Check(false, "an ftp collector is refused");
        }
        catch (ArgumentException e)
        {
            Check(e.Message.StartsWith("invalid collector URL"), "reason: " + e.Message);
        }

        var events = new List<OstrelDelivery.Event>();
        string url;
        var collector = StartCollector(folder, out url);
        string key;
        try
        {
            using (var outbox = OstrelDelivery.Outbox.Open(Path.Combine(folder, "outbox"), url, null,
                                                           e => { lock (events) events.Add(e); }))
            {
                var stored = outbox.Submit(Message());
                Check(stored.Result == OstrelDelivery.Stored, "stored: " + stored.Error);
                key = stored.Key ?? "";
                Check(key.Length == 36 && stored.Bytes > 0, "key " + key + ", bytes " + stored.Bytes);
                var malformed = outbox.Submit("{");
                Check(malformed.Result == OstrelDelivery.Malformed &&
                      malformed.Error == "malformed request message: not JSON text",
                      "malformed: " + malformed.Error);
                Check(outbox.Wait(20000) == 0, "delivered");
                var counts = outbox.GetCounts();
                Check(counts.stored == 1 && counts.sent == 1, "counts " + counts.stored + "/" + counts.sent);
                Check(outbox.Close(0) == 0 && outbox.Close(0) == 0, "closed, twice");
                try
                {
                    outbox.Pending();
                    Check(false, "a closed outbox refuses calls");
                }
                catch (ObjectDisposedException) { }
            }
        }
        finally
        {
            collector.Kill();
            collector.WaitForExit();
        }
        lock (events)
        {
            Check(events.Count == 1 && events[0].Kind == OstrelDelivery.Sent && events[0].Key == key &&
                  events[0].Status == 200 && events[0].SenderThread, "one sent event with the key");
        }
        string received = File.ReadAllText(Path.Combine(folder, "stored.jsonl"));
        Check(received.Contains(key) && received.Contains("Ærø"), "UTF-8 body arrives with its key");
    }

    static string RefusingUrl()
    {
        var refusing = new TcpListener(IPAddress.Loopback, 0);
        refusing.Start();
        string url = "http://127.0.0.1:" + ((IPEndPoint)refusing.LocalEndpoint).Port;
        refusing.Stop();  // nothing listens there now
        return url;
    }

    // The new options reach the library, and the Purged event its count.
    static void Consent(string folder)
    {
        OstrelDelivery.Options options;
        OstrelDelivery.Delivery_DefaultOptions(out options);
        Check(options.requireConsent == 0 && options.uncompressed == 0 &&
              options.requestTimeoutMs == 30000, "default options");
        options.requireConsent = 1;
        var events = new List<OstrelDelivery.Event>();
        using (var outbox = OstrelDelivery.Outbox.Open(folder, RefusingUrl(), options,
                                                       e => { lock (events) events.Add(e); }))
        {
            Check(outbox.Consent() == OstrelDelivery.ConsentUndecided, "undecided");
            Check(outbox.Submit(Message()).Result == OstrelDelivery.Stored, "stored");
            Check(outbox.Wait(20000) == 1, "held for consent");
            Check(outbox.SetConsent(5) != null, "a value that is no decision is refused");
            Check(outbox.SetConsent(OstrelDelivery.ConsentDenied) == null, "denied");
            Check(outbox.Submit(Message()).Result == OstrelDelivery.NoConsent, "no consent");
            Check(outbox.Consent() == OstrelDelivery.ConsentDenied, "kept denied");
        }
        lock (events)
        {
            var purged = events.Find(e => e.Kind == OstrelDelivery.Purged);
            Check(purged != null && purged.Count == 1, "one purged event with its count");
        }
    }

    static void CallsRacingDispose(string folder)
    {
        string url = RefusingUrl();
        for (int round = 0; round < 5; round++)
        {
            var outbox = OstrelDelivery.Outbox.Open(folder, url, null, null);
            var stop = false;
            var callers = new List<Thread>();
            for (int n = 0; n < 3; n++)
            {
                var caller = new Thread(() =>
                {
                    while (!Volatile.Read(ref stop))
                    {
                        try
                        {
                            outbox.Submit(Message());
                            outbox.Pending();
                            outbox.GetCounts();
                        }
                        catch (ObjectDisposedException) { }
                    }
                });
                caller.Start();
                callers.Add(caller);
            }
            Thread.Sleep(20);
            outbox.Dispose();
            Thread.Sleep(5);
            Volatile.Write(ref stop, true);
            foreach (var caller in callers) caller.Join();
        }
    }
}
