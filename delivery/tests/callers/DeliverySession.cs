// Drives libostrel_delivery.so through the C# binding as game code does:
// requests stored while the collector is down are kept, and sent with their
// keys by the next outbox once scripts/collector (COLLECTOR) listens.
// Exits with 1 when a check fails.

using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Net;
using System.Net.Sockets;
using System.Threading;

static class DeliverySession
{
    static int passed, failed;

    static void Check(bool ok, string what)
    {
        if (ok) { passed++; return; }
        failed++;
        Console.Error.WriteLine("FAILED: " + what);
    }

    static void Equal(object expected, object actual, string what)
    {
        Check(Equals(expected, actual), what + ": expected <" + expected + "> but was <" + actual + ">");
    }

    static string Message(int level)
    {
        string body = "{\\\"event_type\\\":\\\"a_Levelup\\\",\\\"event_timestamp\\\":" + level +
                      ",\\\"arrival_timestamp\\\":1,\\\"event_version\\\":\\\"1.0\\\"," +
                      "\\\"application\\\":{\\\"title\\\":\\\"Ærø\\\"},\\\"client\\\":{},\\\"device\\\":{}," +
                      "\\\"session\\\":{},\\\"attributes\\\":{},\\\"metrics\\\":null}";
        return "{\"data\":\"" + body + "\",\"headers\":[\"X-Api-Key: " +
               "Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0\",\"Content-Type: application/json\"]," +
               "\"url\":\"https://analytics.example.com/v1/win/record?project=cs-game\"}";
    }

    static int FreePort()
    {
        var probe = new TcpListener(IPAddress.Loopback, 0);
        probe.Start();
        int port = ((IPEndPoint)probe.LocalEndpoint).Port;
        probe.Stop();
        return port;
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
        string outbox = Path.Combine(folder, "outbox");
        Directory.CreateDirectory(folder);
        try { return Run(folder, outbox); }
        finally { Directory.Delete(folder, true); }
    }

    static int Run(string folder, string outboxFolder)
    {
        Equal("1.0.0", OstrelDelivery.Version(), "version");
        try
        {
            OstrelDelivery.Outbox.Open(outboxFolder, "ftp://h", null, null);
            Check(false, "an ftp collector is refused");
        }
        catch (ArgumentException e)
        {
            Check(e.Message.StartsWith("invalid collector URL"), "reason: " + e.Message);
        }

        var events = new List<OstrelDelivery.Event>();
        var keys = new List<string>();
        OstrelDelivery.Options options;
        OstrelDelivery.Delivery_DefaultOptions(out options);
        options.firstRetryMs = 20;
        options.maxRetryMs = 50;
        using (var down = OstrelDelivery.Outbox.Open(outboxFolder, "http://127.0.0.1:" + FreePort(),
                                                     options, e => { lock (events) events.Add(e); }))
        {
            for (int level = 1; level <= 2; level++)
            {
                var stored = down.Submit(Message(level));
                Equal(OstrelDelivery.Stored, stored.Result, "stored " + level + ": " + stored.Error);
                Equal(36, stored.Key == null ? 0 : stored.Key.Length, "key length");
                keys.Add(stored.Key);
            }
            var malformed = down.Submit("{");
            Equal(OstrelDelivery.Malformed, malformed.Result, "malformed");
            Equal("malformed request message: not JSON text", malformed.Error, "malformed reason");
            for (int tries = 0; tries < 200; tries++)
            {
                lock (events) if (events.Count > 0) break;
                Thread.Sleep(10);
            }
            Equal(2L, down.Close(0), "both kept");
        }
        lock (events)
        {
            Check(events.Count > 0, "a retry was reported");
            foreach (var e in events)
            {
                Equal(OstrelDelivery.Retry, e.Kind, "event kind");
                Equal(keys[0], e.Key, "the oldest is tried");
                Check(e.SenderThread, "on the sender thread");
            }
            events.Clear();
        }

        string url;
        var collector = StartCollector(folder, out url);
        try
        {
            using (var up = OstrelDelivery.Outbox.Open(outboxFolder, url, null,
                                                       e => { lock (events) events.Add(e); }))
            {
                Equal(0L, up.Wait(20000), "all delivered");
                Equal(2L, up.GetCounts().sent, "sent count");
            }
        }
        finally
        {
            collector.Kill();
            collector.WaitForExit();
        }
        lock (events)
        {
            Equal(2, events.Count, "two sent events");
            for (int i = 0; i < events.Count && i < 2; i++)
            {
                Equal(OstrelDelivery.Sent, events[i].Kind, "sent");
                Equal(keys[i], events[i].Key, "sent in order under its key");
                Equal(200, events[i].Status, "status");
            }
        }
        string received = File.ReadAllText(Path.Combine(folder, "stored.jsonl"));
        Check(received.Contains(keys[0]) && received.Contains(keys[1]), "the collector has both keys");
        Check(received.Contains("Ærø"), "UTF-8 body arrives unchanged");

        Console.WriteLine(passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }
}
