// Calls libostrel.so through the C# binding as game code does: one short
// session passes texts (non-ASCII and null), integers at the int32 limits,
// doubles and flags, and takes the returned texts. Checks that each kind of
// value arrives intact in the request it produces; the export rules
// themselves are tested in C++. Exits with 1 when a check fails.

using System;
using System.Text;

static class OstrelSession
{
    static int failed;

    static void Check(bool ok, string what)
    {
        if (ok) return;
        failed++;
        Console.Error.WriteLine("FAILED: " + what);
    }

    // The body of a request message: its "data" string, unescaped. The
    // message starts with "data", and "headers" follows it.
    static string Body(string message)
    {
        const string start = "{\"data\":\"";
        int end = message.IndexOf("\",\"headers\":[", StringComparison.Ordinal);
        Check(message.StartsWith(start, StringComparison.Ordinal) && end > 0, "message layout");
        if (end < 0) return "";
        var body = new StringBuilder();
        for (int at = start.Length; at < end; at++)
        {
            if (message[at] == '\\') at++;
            body.Append(message[at]);
        }
        return body.ToString();
    }

    static void Contains(string text, string part)
    {
        Check(text.Contains(part), "expected " + part);
    }

    static int Main()
    {
        Check(Ostrel.Tavi_Get_Version() == "2.0.1", "version");
        Check(Ostrel.Tavi_Get_Version() == "2.0.1", "version, second copy");
        Check(Ostrel.Tavi_MessagesCount() == 0, "empty queue");
        Check(Ostrel.Tavi_Zel_GetMessage() == "", "message from an empty queue");

        Ostrel.Tavi_Init("proj-cs");
        Ostrel.Tavi_Update();
        Check(Ostrel.Tavi_MessagesCount() == 1, "session start flushed");
        Ostrel.Tavi_Zel_GetMessage();

        Ostrel.Tavi_SetUser("Jürgen \"JJ\"");
        Ostrel.Tavi_SetClient(null);
        Ostrel.Tavi_SetAppData("app-42", null, "Zoë's Game \U0001F6E9", "1.2.3", "45");
        Ostrel.Tavi_SetPlatform(null, null);
        Ostrel.Tavi_Event_LevelUp(int.MinValue);
        Ostrel.Tavi_Event_LevelUp(int.MaxValue);
        Ostrel.Tavi_EventPurchase(null, "ignored", 0.99, "EUR", "gem_pack", 3, true, "Gems €", false);
        Ostrel.Tavi_CustomEvent("quest", "{\"zone\":\"nørd\",\"ratio\":0.1}");
        Ostrel.Tavi_Destroy();

        Check(Ostrel.Tavi_MessagesCount() == 1, "one request at destroy");
        string message = Ostrel.Tavi_Zel_GetMessage();
        Contains(message, "\"url\":\"");
        Contains(message, "?project=proj-cs\"}");
        string body = Body(message);
        Contains(body, "\"user_id\":\"Jürgen \\\"JJ\\\"\"");
        Contains(body, "\"client_id\":\"\"");
        Contains(body, "\"package_name\":\"\"");
        Contains(body, "\"title\":\"Zoë's Game \U0001F6E9\"");
        Contains(body, "\"platform\":{\"name\":\"\",\"version\":\"\"}");
        Contains(body, "\"metrics\":{\"a_level\":-2147483648.0}");
        Contains(body, "\"metrics\":{\"a_level\":2147483647.0}");
        Contains(body, "\"a_name\":\"Gems €\"");
        Contains(body, "\"metrics\":{\"a_amount\":3.0,\"a_price\":0.99,\"a_sandbox\":0.0,"
                       + "\"a_validated\":1.0}");
        Contains(body, "\"dsa_zone\":\"nørd\"");
        Contains(body, "\"dsm_ratio\":0.10000000149011612");
        Contains(body, "\"event_type\":\"_session.stop\"");
        Check(Ostrel.Tavi_MessagesCount() == 0, "queue drained");

        Console.WriteLine(failed == 0 ? "passed" : failed + " checks failed");
        return failed == 0 ? 0 : 1;
    }
}
