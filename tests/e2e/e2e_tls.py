#!/usr/bin/env python3
"""End-to-end runs of the selective receive over TLS.

The same stand-in host and real plug-in as e2e_receive.py, against a Dovecot
started with tools/dovecot.sh's --tls (ssl = required: STLS on its plain port,
TLS from the start on a second one, the certificate on 127.0.0.1 switched per
case with `dovecot.sh cert`). The test CA is trusted only in the build's own
Wine prefix (tests/tls, fixture tls_certs). The account names the server
"localhost", the name its good certificate is for. Relays (tools/pop3relay.py)
show what went over the line: whether a connection carried TLS, how many
commands went out before any reply (the records of a pipelined scan), and
which commands went out in plain text.

Standard library only. Run by ctest (tests/e2e/CMakeLists.txt):
    e2e_tls.py --case NAME --bin DIR --wine WINE_RUN --server DIR --harness tools/dovecot.sh
               --certs DIR --work DIR
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_receive as base  # noqa: E402

MENU = "menu " + base.MENU_ITEM
BOX = "box " + base.CAPTION


class TlsCase(base.Case):
    def __init__(self, args, name):
        super().__init__(args, name)
        self.certs = args.certs
        with open(os.path.join(args.server, "tls-port")) as f:
            self.tls_port = int(f.read())
        self.log_path = os.path.join(args.server, "run", "dovecot.log")

    def fingerprint(self, name):
        with open(os.path.join(self.certs, name + ".sha256")) as f:
            return f.read().strip()

    def serve_certificate(self, name):
        self.harness("cert", self.args.server, name)

    def tls_settings(self, port, security=None, host_keys=(), server="localhost", ras="", **kirvan):
        """Kirvan.ini with Security (None: no key) and the size filter at 5000; the
        host's Account.ini with its own keys (SSL, STLS, TrustedCertificate)."""
        server_keys = [("pass", base.PASSWORD)]
        if security is not None:
            server_keys.append(("Security", security))
        server_keys += list(kirvan.pop("server_keys", []))
        properties = {"DoFilter": 1, "FilterType": 1, "CheckSize": 1, "FilterSize": 5000, "Delete": 0}
        properties.update(kirvan)
        self.write_ini("Kirvan.ini", [("Server", server_keys), ("Property", list(properties.items()))])
        self.write_ini("Account.ini", [("Property", [
            ("Title", "tls"), ("Account", base.USER), ("Password", base.PASSWORD), ("POP3Server", server),
            ("POP3Port", port), ("NotDelete", 1), ("UseRAS", 1 if ras else 0), ("RASProvider", ras)] +
            list(host_keys))])

    def kirvan_value(self, key):
        with open(os.path.join(self.account, "Kirvan.ini"), "rb") as f:
            for line in f.read().decode("cp932").splitlines():
                if line.lower().startswith(key.lower() + "="):
                    return line.split("=", 1)[1]
        return None

    def log_size(self):
        return os.path.getsize(self.log_path)

    def log_since(self, offset):
        with open(self.log_path, "rb") as f:
            f.seek(offset)
            return f.read().decode("utf-8", "replace")

    def box_text(self):
        """The text of the Kirvan box the host printed (line breaks as \\n), or None."""
        lines = [line.decode("cp932", "replace") for line in self.report_lines()]
        for i, line in enumerate(lines):
            if line.strip() == 'box "Kirvan"' and i + 1 < len(lines):
                m = re.match(r'\s*text "(.*)"$', lines[i + 1])
                if m:
                    return m.group(1)
        return None


def size_filter_run(case, port, security, host_keys=(), relay=None):
    """Three mails, the size filter at 5000: message 3 set aside, 1 and 2 retrieved."""
    case.reset_account()
    case.tls_settings(relay.port if relay else port, security, host_keys)
    case.run_host([MENU, "print-file Account1\\uidl"])
    case.check_exit()
    case.check(case.has_line(base.received_line(2, 1, 3)), "messages 1 and 2 retrieved, 3 set aside")
    case.check(len(case.inbox()) == 2, "two mails in the inbox")


def relayed(case, port, name, extra=(), delay_ms=0):
    """A relay in front of port (no delay unless asked), which logs what it sees."""
    relay = base.Relay.__new__(base.Relay)
    relay.log = os.path.join(case.dir, name + ".log")
    port_file = os.path.join(case.dir, name + ".port")
    command = [sys.executable, base.RELAY, "--target-port", str(port), "--delay-ms", str(delay_ms), "--log", relay.log,
               "--port-file", port_file] + list(extra)
    relay.process = base.subprocess.Popen(command, stdin=base.subprocess.DEVNULL, stdout=base.subprocess.DEVNULL,
                                          stderr=base.subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(port_file):
            break
        base.time.sleep(0.05)
    with open(port_file) as f:
        relay.port = int(f.read())
    return relay


# ---- one run per mode ------------------------------------------------------------------

def case_tls_modes(case):
    """Implicit TLS (Security 1), STLS chosen by Security 0 because the server
    offers it, and plain text (Security 3): the plug-in's session and the host's
    retrieval, each through a relay that says whether the connection carried TLS."""
    case.add_mails([base.make_mail(1, 4000, "Subject: one"), base.make_mail(2, 5000, "Subject: two"),
                    base.make_mail(3, 6000, "Subject: three")])
    modes = [
        ("implicit", case.tls_port, 1, [("SSL", 1)], "TLS (implicit)"),
        ("stls", case.port, 0, [("STLS", 1)], "TLS (STLS)"),
        ("plain", case.port, 3, [], None),
    ]
    for name, port, security, host_keys, secured in modes:
        with relayed(case, port, name) as relay:
            size_filter_run(case, port, security, host_keys, relay)
        sessions = relay.sessions()
        plugin, host = sessions.get("1"), sessions.get("2")
        case.check(plugin and plugin["end"] and host and host["end"], "{}: two connections seen".format(name))
        if not (plugin and plugin["end"] and host and host["end"]):
            continue
        if secured:
            case.check(plugin["end"].get("tls") == "1", "{}: the plug-in's session used TLS".format(name))
            case.check("user" not in plugin["verbs"] and "pass" not in plugin["verbs"],
                       "{}: no login in plain text: {}".format(name, plugin["verbs"]))
            case.check(case.has_line("secured: " + secured), "{}: the host retrieved over TLS".format(name))
        else:
            case.check(plugin["end"].get("tls") is None and "user" in plugin["verbs"],
                       "plain: the session stayed in plain text: {}".format(plugin["verbs"]))
            case.check("capa" not in plugin["verbs"][:1], "plain: no CAPA before the login (Security 3)")
        if name == "stls":
            case.check(plugin["verbs"][:2] == ["capa", "stls"], "stls: CAPA, then STLS: {}".format(plugin["verbs"]))


def case_tls_pipelined_scan(case):
    """The selection dialog's scan of many messages over implicit TLS, pipelined:
    many commands go out together before their replies come back."""
    count = 300
    mails, shown = base.numbered_mails(count)
    case.add_mails(mails)
    # With a line's delay in between, the replies cannot come back before the
    # commands sent ahead of them have gone out, however fast the machine.
    with relayed(case, case.tls_port, "pipelined", delay_ms=base.RELAY_DELAY_MS) as relay:
        case.tls_settings(relay.port, 1, [("SSL", 1)], FilterType=0, CheckSize=0)
        case.run_host(["dialog " + base.DIALOG + " tick 1," + str(count) + " ok", MENU], unexpected_ms=60000)
    case.check_exit()
    expected = [base.item_line(n, subject, size) for n, (subject, size) in enumerate(shown, 1)]
    case.check(case.lines_starting("item ") == expected, "the dialog lists the server's {} messages".format(count))
    case.check(case.has_line(base.received_line(2, count - 2, count)), "the two ticked messages retrieved")
    plugin = relay.sessions().get("1")
    end = plugin and plugin["end"] or {}
    case.check(end.get("tls") == "1", "the scan ran over TLS: {}".format(end))
    # The client sends the headers' commands together once the UIDL listing is
    # in: a few records carry the 300 TOP commands, where a client waiting for
    # each reply would send one record per command.
    case.check(0 < int(end.get("records_up", "0")) < count // 4,
               "commands went out ahead of their replies, many to a record: {}".format(end))
    print("pipelined scan over TLS, relay: {}".format(" ".join("=".join(i) for i in end.items())))


# ---- certificates -----------------------------------------------------------------------

def case_tls_certificate_faults(case):
    """Each certificate fault, answered No: the box names the check, nothing but
    the handshake reached the server (its log shows no login attempt), no
    retrieval, no fingerprint kept, and the line the command dialled hung up."""
    case.add_mails([base.make_mail(1, 4000, "Subject: one")])
    faults = [
        ("othername", "証明書はサーバー名「localhost」のものではありません"),
        ("expired", "証明書の有効期限が切れているか、まだ有効になっていません"),
        ("selfsigned", "証明書の発行元が信頼されていません"),
        ("untrusted", "証明書の発行元が信頼されていません"),
    ]
    try:
        for i, (name, line) in enumerate(faults):
            where = "case {} ({})".format(i, name)
            case.serve_certificate(name)
            case.reset_account()
            case.tls_settings(case.tls_port, 1, [("SSL", 1)], ras="Office")
            if os.path.exists(case.ras_log):
                os.remove(case.ras_log)
            offset = case.log_size()
            case.run_host([BOX + " no", MENU, "expect-done"])
            case.check_exit()
            text = case.box_text() or ""
            case.check(line in text, "{}: the box names the check: {!r}".format(where, text))
            case.check("SHA-256" in text and case.fingerprint(name)[:4] in text, "{}: fingerprint shown".format(where))
            case.check("発行先: " in text and "発行者: " in text and "有効期間: " in text, "{}: the certificate shown".format(where))
            case.check(case.has_line("pressed no"), "{}: answered No".format(where))
            case.check(not case.has_line_starting("receive:"), "{}: no retrieval".format(where))
            case.check(case.kirvan_value("CertificateSha256") is None, "{}: nothing trusted".format(where))
            case.check(case.ras_calls() == ["dial Office -> 0", "hangup 0x5150"],
                       "{}: dialled and hung up: {}".format(where, case.ras_calls()))
            base.time.sleep(0.3)
            log = case.log_since(offset)
            case.check("no auth attempts" in log and "Login: user=<" not in log,
                       "{}: the server saw no login: {!r}".format(where, log[-300:]))
    finally:
        case.serve_certificate("good")


def case_tls_fingerprint(case):
    """A self-signed certificate trusted once (Yes keeps its fingerprint), then
    no question while it stays, and the question again after it changed."""
    case.add_mails([base.make_mail(1, 4000, "Subject: one"), base.make_mail(2, 5000, "Subject: two"),
                    base.make_mail(3, 6000, "Subject: three")])
    first = case.fingerprint("selfsigned")
    try:
        case.serve_certificate("selfsigned")
        # The host checks too; its own key trusts the same certificate.
        host_keys = [("SSL", 1), ("TrustedCertificate", first)]
        case.tls_settings(case.tls_port, 1, host_keys)
        case.run_host([BOX + " yes", MENU, "expect-done"])
        case.check_exit()
        case.check(case.has_line("pressed yes"), "asked once, answered Yes")
        case.check(case.kirvan_value("CertificateSha256") == first, "its fingerprint kept: {}".format(
            case.kirvan_value("CertificateSha256")))
        case.check(case.has_line(base.received_line(2, 1, 3)), "then the scan and the retrieval went on")

        case.reset_account()
        case.run_host([MENU])
        case.check_exit()
        case.check(not case.has_line_starting("box "), "the same certificate again: no question")
        case.check(case.has_line(base.received_line(2, 1, 3)), "second run retrieved")

        case.serve_certificate("selfsigned2")
        case.reset_account()
        case.run_host([BOX + " no", MENU, "expect-done"])
        case.check_exit()
        text = case.box_text() or ""
        case.check(case.fingerprint("selfsigned2")[:4] in text, "asked again for the new certificate")
        case.check(not case.has_line_starting("receive:"), "No: no retrieval")
        case.check(case.kirvan_value("CertificateSha256") == first, "the old fingerprint stays")
    finally:
        case.serve_certificate("good")


# ---- servers that cannot be secured ------------------------------------------------------

def case_tls_stls_not_offered(case):
    """Security 2 through a relay that strips STLS from CAPA: the box names the
    setting, and CAPA was all the server got."""
    case.add_mails([base.make_mail(1, 4000, "Subject: one")])
    with relayed(case, case.port, "nostls", ["--no-stls"]) as relay:
        case.tls_settings(relay.port, 2, [("STLS", 1)])
        case.run_host([BOX + " ok", MENU, "expect-done"])
    case.check_exit()
    text = case.box_text() or ""
    case.check("STARTTLS (STLS) に対応していない" in text and "通信の暗号化" in text, "the box: {!r}".format(text))
    plugin = relay.sessions().get("1") or {"verbs": []}
    case.check(plugin["verbs"] == ["capa"], "only CAPA went out: {}".format(plugin["verbs"]))
    case.check(not case.has_line_starting("receive:"), "no retrieval")


def case_tls_hello_to_plain_port(case):
    """Security 1 against the plain-text port: its greeting tells at once that it
    speaks no TLS; the run ends with the box, not with a time-out."""
    case.add_mails([base.make_mail(1, 4000, "Subject: one")])
    case.tls_settings(case.port, 1, [("SSL", 1)])
    started = base.time.monotonic()
    case.run_host([BOX + " ok", MENU, "expect-done"])
    elapsed = base.time.monotonic() - started
    case.check_exit()
    text = case.box_text() or ""
    case.check("暗号化されていない POP3 で応答しました" in text, "the box: {!r}".format(text))
    case.check(not case.has_line_starting("receive:"), "no retrieval")
    print("TLS hello to the plain port: the run took {:.1f} s".format(elapsed))


CASES = {name[len("case_"):]: f for name, f in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--bin", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--harness", required=True)
    parser.add_argument("--certs", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    case = TlsCase(args, args.case)
    CASES[args.case](case)
    return case.finish()


if __name__ == "__main__":
    sys.exit(main())
