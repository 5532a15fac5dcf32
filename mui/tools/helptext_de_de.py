# German texts of the help book and the offline page (see helpbook.py).
LANG = "de"
CONTENTS = "Inhalt"
PREVIOUS = "Zurück"
NEXT = "Weiter"

PAGES = {}

PAGES["index"] = ("Hilfe zu Orvantek Ping Tool", """
<p>Orvantek Ping Tool (Tapper) pingt einen oder mehrere Hosts gleichzeitig. Für jeden Host
löst ein eigener Arbeitsthread den Namen auf, ermittelt das Land der Adresse und sendet
dann ICMP-Echoanforderungen, eine nach der anderen, mit der eingestellten Pause,
Datengröße, Lebensdauer (TTL), Dienstart (TOS) und Zeitüberschreitung. Jede Antwort,
jede verlorene Anforderung und jeder Fehler wird mit Uhrzeit aufgezeichnet; eine
Protokollliste, ein Statistikbaum und ein Antwortzeitdiagramm zeigen den Lauf, während
er läuft. Der Lauf dauert, bis Sie ihn anhalten.</p>
<p>Dieses Handbuch richtet sich an Netzwerkadministratoren. Es beschreibt das Fenster, jede
Ansicht, die Optionen, die Befehlszeile, den Konsolenmodus für Skripte und Server, die
ICMP-Berechtigungen, die das Programm unter Linux braucht, und was zu tun ist, wenn etwas
nicht funktioniert.</p>
<p>Drücken Sie im Programm überall <b>F1</b>, um dieses Handbuch zu öffnen.</p>
<h2>Seiten</h2>
""")

PAGES["mainwindow"] = ("Das Hauptfenster", """
<p>Das Hauptfenster enthält drei Ansichten: oben das <a href="chart.html">Antwortzeitdiagramm</a>,
unten links den <a href="stattree.html">Statistikbaum</a> und unten rechts die
<a href="loglist.html">Protokollliste</a>. Bis zum ersten Start füllt das Diagramm das ganze
Fenster; danach nimmt es 45 Prozent der Höhe ein. Die Grenzen zwischen den Ansichten
lassen sich mit der Maus verschieben.</p>
<h2>Hosteingabe und Start/Stopp</h2>
<p>Geben Sie in die Hosteingabe der Symbolleiste ein oder mehrere Ziele ein: Hostnamen oder
IPv4-Adressen in Punktschreibweise, getrennt durch Leerzeichen, Kommas oder Semikolons,
zum Beispiel <code>192.0.2.1, gateway.example.net; 198.51.100.7</code>. Drücken Sie dann
<b>Ping starten</b> (oder <b>Strg+O</b> oder <b>Datei &gt; Ping starten</b>). Dieselbe
Schaltfläche heißt danach <b>Ping stoppen</b> und hält den Lauf an; die Hosts und ihre
Daten bleiben bis zum nächsten Start sichtbar. Während eines Laufs lässt sich die
Hosteingabe nicht bearbeiten.</p>
<p>Leerzeichen und die Zeichen <code>; : . , ? ' " \\ ` ~</code> an beiden Enden des Textes
werden entfernt. Enthält der Text danach noch eines der Zeichen
<code>` ~ ! @ # $ % ^ &amp; * ( ) = + | { } [ ] : " ' &lt; &gt; ?</code>, meldet das Programm
„Ungültiger Hostname oder ungültige IP-Adresse.“ und startet nicht. Ein Doppelpunkt
irgendwo im Text macht ihn ungültig; IPv6-Adressen lassen sich daher nicht eingeben.
Namen werden nur in IPv4-Adressen aufgelöst.</p>
<p>Die Hosteingabe merkt sich die letzten 16 Texte, mit denen ein Lauf gestartet wurde;
öffnen Sie ihre Liste, um einen davon erneut zu wählen. Ein wiederholter Text rückt nach
oben.</p>
<h2 id="files">Host-Listen und Ergebnisse</h2>
<p><b>Datei &gt; Host-Liste öffnen...</b> übernimmt die Hosts einer Host-Listendatei in die
Hosteingabe und ihren Verlauf. Eine Host-Liste ist eine UTF-8-Textdatei mit einem oder
mehreren Hosts je Zeile, getrennt wie in der Hosteingabe (ein Tabulator zählt als
Leerzeichen). <code>#</code> leitet einen Kommentar bis zum Zeilenende ein; Leerzeilen,
CRLF-Zeilenenden und eine Bytereihenfolgemarke sind erlaubt. Eine Datei in einer anderen
Kodierung, mit einem NUL-Byte oder mit einem Zeichen, das in keinem Hostnamen stehen kann,
wird mit der Nummer der Zeile abgelehnt; eine Liste mit mehr als 10000 Hosts mit deren
Anzahl. Eine Host-Listendatei oder Text, auf das Fenster oder die Hosteingabe gezogen und
abgelegt, wird ebenso geöffnet. <b>Datei &gt; Host-Liste speichern...</b> schreibt die
Hosts der Eingabe je einen pro Zeile. Das Menü Datei merkt sich die vier zuletzt geöffneten
oder gespeicherten Host-Listendateien.</p>
<p><b>Datei &gt; Ergebnisse exportieren...</b> speichert den Lauf, während er läuft oder nach
dem Stopp, in einer von vier Formen: CSV oder JSON-Zeilen, jeweils nur mit der Statistik
jedes Hosts oder zusätzlich mit jedem Ereignis, das die Hosts behalten (bis zu 5000 je
Host). Datensätze und Felder sind die von <code>--format=csv</code> und
<code>--format=json</code> des <a href="console.html">Konsolenmodus</a>; Zählungen und Zeiten
eines Hosts sind die der <a href="stattree.html">Statistikansicht</a>. Die Datei wird erst
ersetzt, wenn die neue vollständig ist: Ist der Datenträger voll oder darf der Ordner nicht
beschrieben werden, sagt eine Meldung warum, und eine frühere Datei dieses Namens bleibt
unverändert.</p>
<h2>Menüs</h2>
<table border="1" cellpadding="3">
<tr><th>Menü</th><th>Einträge</th></tr>
<tr><td>Datei</td><td>Ping starten (Start/Stopp), Host-Liste öffnen..., Host-Liste speichern...,
Ergebnisse exportieren..., die vier zuletzt benutzten Host-Listendateien, Beenden; siehe
<a href="#files">Host-Listen und Ergebnisse</a></td></tr>
<tr><td>Bearbeiten</td><td>Kopieren (Strg+C, Strg+Einfg), Alles auswählen (Strg+A), Automatisch
rollen, Klassische Ansicht, Harbor-Ansicht; sie wirken auf die
<a href="loglist.html">Protokollliste</a></td></tr>
<tr><td>Diagramm</td><td>3D-Ansicht, Legende, Gitternetz, Liniendiagramm, Flächendiagramm,
Balkendiagramm, Diagramm speichern; siehe <a href="chart.html">das Diagramm</a></td></tr>
<tr><td>Optionen</td><td>Optionen..., siehe <a href="options.html">die Optionen</a>; Alarme..., siehe
<a href="alerts.html">Alarme</a></td></tr>
<tr><td>Hilfe</td><td>Inhalt (F1), Nach neuer Version suchen..., Offizielles Orvantek-Supportforum,
Orvantek-Homepage, Info...</td></tr>
</table>
<h2>Tasten</h2>
<table border="1" cellpadding="3">
<tr><td>Strg+O</td><td>Lauf starten oder anhalten</td></tr>
<tr><td>Strg+C, Strg+Einfg</td><td>markierte Zeilen der Protokollliste kopieren</td></tr>
<tr><td>Strg+A</td><td>alle Zeilen der Protokollliste markieren</td></tr>
<tr><td>F1</td><td>diese Hilfe</td></tr>
<tr><td>F6, Umschalt+F6</td><td>nächste oder vorige Ansicht</td></tr>
</table>
<h2>Bereich „Online-Ressourcen“ und Suche nach Aktualisierungen</h2>
<p>Wurden die Online-Funktionen bei der Installation eingeschaltet, hat das Fenster links
einen angedockten Bereich <b>Online-Ressourcen</b>. Er zeigt eine Seite der Website des
Herstellers; ohne Verbindung zeigt er eine mit dem Programm installierte Kopie oder bleibt
leer. Links darin öffnen sich in Ihrem Webbrowser. In diesem Fall prüft das Programm
außerdem einmal, etwa eine Sekunde nach dem Start, ob es eine neuere Version gibt, und
meldet sich nur, wenn es eine gibt. <b>Hilfe &gt; Nach neuer Version suchen...</b> prüft
jederzeit und meldet immer das Ergebnis. Eine Version, die Sie überspringen wollten,
kündigt die automatische Prüfung nicht erneut an. Die Prüfung sendet nur den
Produktnamen und seine Version.</p>
<p>Das Logo am rechten Ende der Symbolleiste und <b>Hilfe &gt; Orvantek-Homepage</b> öffnen die
Homepage des Herstellers in Ihrem Webbrowser; <b>Hilfe &gt; Offizielles
Orvantek-Supportforum</b> öffnet das Forum.</p>
""")

PAGES["loglist"] = ("Die Protokollliste", """
<p>Die Protokollliste zeigt jedes aufgezeichnete Ereignis des <i>aktuellen Hosts</i>, also des
im <a href="stattree.html">Statistikbaum</a> gewählten Hosts, das älteste zuerst. Die Symbolleiste
der Protokollliste zeigt an ihrem Ende den Namen des aktuellen Hosts. Je Host werden bis
zu 5000 Ereignisse aufbewahrt; danach weichen die ältesten den neuesten.</p>
<h2>Zwei Darstellungen</h2>
<p>Die <b>Klassische Ansicht</b> (Bearbeiten &gt; Klassische Ansicht) zeigt eine Zeile je
Ereignis, wie ein Ping auf der Konsole, zum Beispiel</p>
<pre>[2026-3-7 14:05:09] Antwort von 192.0.2.1: Bytes = 64 Zeit = 12 ms TTL = 57</pre>
<p>Eine Antwortzeit unter einer Millisekunde erscheint als <code>Zeit &lt; 1 ms</code>. Andere
Ereignisse zeigen ihren Statustext, etwa „Zeitüberschreitung der Anforderung.“ oder „Der
Hostname konnte nicht in eine IP-Adresse aufgelöst werden.“.</p>
<p>Die <b>Harbor-Ansicht</b> (Bearbeiten &gt; Harbor-Ansicht, „Listenansicht anzeigen“) zeigt eine
Tabelle mit den Spalten Zeitstempel, Status, Bytes, Antwortzeit (in ms) und TTL (die
Lebensdauer der Antwort). Zeitstempel sind Ortszeit in der Form
Jahr-Monat-Tag Stunden:Minuten:Sekunden.</p>
<h2>Kopieren</h2>
<p><b>Kopieren</b> (Strg+C oder Strg+Einfg) legt die markierten Zeilen als reinen Text in die
Zwischenablage: in der klassischen Ansicht die Zeilen, in der Harbor-Ansicht alle Spalten.
<b>Alles auswählen</b> (Strg+A) markiert alle Zeilen. Das Kontextmenü (rechte Maustaste)
kopiert auch eine einzelne Spalte: Zeitstempel, Status, Bytes, Antwortzeit oder TTL
kopieren.</p>
<h2>Automatisch rollen</h2>
<p>Ist <b>Automatisch rollen</b> angehakt (die Voreinstellung), bleibt die neueste Zeile
sichtbar. Schalten Sie es aus, um ältere Zeilen zu lesen, während der Lauf weitergeht.</p>
""")

PAGES["stattree"] = ("Der Statistikbaum", """
<p>Der Statistikbaum hat einen Knoten je Host des Laufs, in der Reihenfolge Ihrer Eingabe.
Unter jedem Host zeigen acht Zeilen:</p>
<ol>
<li>die IPv4-Adresse, in die der Name aufgelöst wurde;</li>
<li>Standort: das Land der Adresse aus der GeoIP-Länderdatenbank, wenn sie installiert ist
(sonst leer);</li>
<li>gesendete Pakete;</li>
<li>empfangene Pakete (gesendet minus verloren);</li>
<li>verlorene Pakete, mit dem Verlust in ganzen Prozent;</li>
<li>minimale,</li>
<li>maximale und</li>
<li>durchschnittliche Antwortzeit in Millisekunden; „k. A.“, solange keine Antwort kam.</li>
</ol>
<p>Während eines Laufs werden die Zeilen in jedem Abfrageintervall neu geschrieben
(<a href="options.html">Optionen</a>, Voreinstellung 500 ms). Der Durchschnitt ist die gesamte
Antwortzeit geteilt durch die Zahl der Antworten, abgerundet, und liegt immer zwischen
Minimum und Maximum.</p>
<h2>Der aktuelle Host</h2>
<p>Wenn Sie einen Hostknoten oder eine seiner Zeilen wählen, wird dieser Host zum aktuellen
Host: die <a href="loglist.html">Protokollliste</a> zeigt dann seine Ereignisse. Beim Start
eines Laufs ist der erste Host gewählt.</p>
<h2>Kopieren</h2>
<p>Die Symbolleiste des Baums und sein Kontextmenü bieten <b>Host kopieren</b>, den Namen des
Hosts mit seinen acht Zeilen, und <b>Alles kopieren</b>, alle Hosts mit ihren Zeilen, als
reinen Text.</p>
""")

PAGES["chart"] = ("Das Antwortzeitdiagramm", """
<p>Das Diagramm hat eine Datenreihe je Host des Laufs. In jedem Abfrageintervall
(<a href="options.html">Optionen</a>, Voreinstellung 500 ms) fügt es jeder Reihe einen Punkt
hinzu: die Antwortzeit der neuesten Antwort des Hosts in Millisekunden, oder eine Lücke,
wenn das neueste Ereignis eine verlorene Anforderung oder ein Fehler ist. Die x-Achse ist
mit der Uhrzeit beschriftet, zu der jede Messung genommen wurde; das Diagramm rollt mit dem
Lauf weiter. Ein Lauf mit mehr als 1024 Hosts zeigt die ersten 1024, und die Statusleiste
sagt es.</p>
<h2>Menü „Diagramm“</h2>
<table border="1" cellpadding="3">
<tr><td>3D-Ansicht</td><td>schaltet die dreidimensionale Darstellung ein oder aus (voreingestellt: ein)</td></tr>
<tr><td>Legende</td><td>zeigt oder verbirgt die Legende mit den Hostnamen; passen nicht alle
hinein, zeigt die Legende die, die passen, und in ihrer letzten Zeile, welche von wie vielen
(etwa „1–44 / 300“): Drehen Sie das Mausrad über ihr, um die anderen zu sehen</td></tr>
<tr><td>Gitternetz</td><td>zeigt oder verbirgt die Gitterlinien beider Achsen</td></tr>
<tr><td>Linien-, Flächen-, Balkendiagramm</td><td>die Art des Diagramms; voreingestellt sind Linien</td></tr>
<tr><td>Diagramm speichern</td><td>speichert das Diagramm als Bitmap-Datei; verfügbar, sobald ein Lauf gestartet wurde</td></tr>
</table>
<p>Dieselben Befehle stehen in der Symbolleiste des Diagramms und in seinem Kontextmenü. In
einem kleinen Fenster lässt das Diagramm die Zeitbeschriftungen und nötigenfalls den
Achsentitel weg, die keinen Platz haben.</p>
<p>Lücken zeigen Verluste am schnellsten: eine Reihe mit vielen Lücken gehört zu einem Host,
der Anforderungen verwirft oder langsamer antwortet als die Zeitüberschreitung.</p>
""")

PAGES["options"] = ("Die Optionen", """
<p><b>Optionen &gt; Optionen...</b> öffnet den Optionsdialog. Jede Einstellung hat einen
Schieberegler; die Zahl daneben zeigt den Wert.</p>
<table border="1" cellpadding="3">
<tr><th>Einstellung</th><th>Bereich</th><th>Voreinstellung</th><th>Bedeutung</th></tr>
<tr><td>Paketgröße</td><td>32 bis 1024 Bytes</td><td>64</td><td>Bytes an Echodaten in jeder Anforderung</td></tr>
<tr><td>Paket-Lebensdauer (TTL)</td><td>1 bis 255</td><td>255</td><td>Lebensdauer der Anforderungen</td></tr>
<tr><td>Ping-Zeitüberschreitung</td><td>100 bis 2000 ms</td><td>500</td><td>so lange wird auf eine Antwort gewartet, bevor die Anforderung als verloren zählt</td></tr>
<tr><td>Pause zwischen Pings</td><td>100 bis 10000 ms</td><td>1500</td><td>Zeit zwischen zwei Anforderungen an denselben Host</td></tr>
<tr><td>Adressauflösung</td><td>1 bis 5 Versuche je Host</td><td>3</td><td>Versuche, einen Hostnamen aufzulösen</td></tr>
<tr><td>Abfrageintervall</td><td>100 bis 5000 ms</td><td>500</td><td>wie oft Statistikbaum und Diagramm aufgefrischt werden</td></tr>
</table>
<p><b>OK</b> übernimmt die Werte, speichert sie und wendet sie sofort auf jeden Host des
laufenden Laufs an. <b>Abbrechen</b> schließt, ohne zu übernehmen. <b>Standardwerte</b> setzt
die Voreinstellungen in die Regler und in die aktuellen Einstellungen; gespeichert werden
sie erst mit OK. <b>Hilfe</b> öffnet diese Seite.</p>
<p>Dienstart (TOS, Voreinstellung 200) und IP-Flags (Voreinstellung 0) haben keinen Regler.
Setzen Sie sie für einen Lauf mit den <a href="cmdline.html">Befehlszeilen</a>schaltern
<code>-v</code> und <code>-f</code> oder dauerhaft in der Einstellungsdatei.</p>
<h2>Wo die Einstellungen liegen</h2>
<p>Die Einstellungen liegen je Benutzer in <code>~/.config/orvantek/user.reg</code> (bzw. unter
<code>$XDG_CONFIG_HOME</code>), einer Textdatei im Registry-Exportformat, unter dem Schlüssel
<code>HKEY_CURRENT_USER\\Software\\Orvantek\\Orvantek Ping Tool</code>, in den Abschnitten
<code>Ping</code> (Size, TimeDelay, TimeOut, Probe), <code>Icmp</code> (IPFlags, IPTos, IPTtl)
und <code>GUI</code> (PollTime). Werte aus der Datei gelten, wie sie sind; die obigen Bereiche
erzwingen nur die Regler. Der Wert 2 von IPFlags setzt das Don't-Fragment-Bit. Werte von der
Befehlszeile werden nicht gespeichert, außer Sie bestätigen danach den Optionsdialog.</p>
""")

PAGES["alerts"] = ("Alarme", """
<p>Während eines Laufs verfolgt das Programm den Zustand jedes Hosts: <b>erreichbar</b>,
<b>ausgefallen</b> oder noch unbekannt. Ein Host gilt nach einer Anzahl fehlgeschlagener
Anforderungen in Folge als ausgefallen (verloren, unerreichbar oder ein anderer Fehler;
Vorgabe 3) und nach einer Anzahl Antworten in Folge wieder als erreichbar (Vorgabe 2). Ein
Host, dessen Name sich nicht auflösen lässt, gilt sofort als ausgefallen. So löst eine
einzelne verlorene Antwort keinen Alarm aus, und ein Host, der abwechselnd antwortet und
schweigt, wird nicht bei jeder Anforderung gemeldet.</p>
<h2>Wie Sie davon erfahren</h2>
<ul>
<li>Der <a href="stattree.html">Statistikbaum</a> zeigt einen ausgefallenen Host mit rotem
Symbol; der Tooltip seiner Hostzeile nennt, seit wann er ausgefallen ist.</li>
<li>Das Symbol im Infobereich ist grau, solange kein Lauf läuft, grün, solange jeder Host
erreichbar ist, und rot, sobald ein Host ausgefallen ist. Sein Tooltip zählt die
ausgefallenen Hosts („2 von 40 Hosts ausgefallen“); sein Menü enthält Anzeigen, Ping
starten/stoppen und Beenden.</li>
<li>Eine Desktop-Benachrichtigung meldet „<i>Host</i> (<i>Adresse</i>) ist ausgefallen“ oder
„ist nach <i>Dauer</i> wieder erreichbar“, mit der letzten Antwortzeit und der Zahl
verlorener Anforderungen. Änderungen innerhalb einer Sekunde kommen als eine
Benachrichtigung („3 Hosts ausgefallen: a, b, c“). Ihre Aktion <b>Anzeigen</b> holt das
Fenster nach vorn und wählt den Host im Statistikbaum aus. Läuft auf dem Desktop kein
Benachrichtigungsdienst, sagt die Statusleiste das einmal, und die übrigen Alarme gehen
weiter.</li>
<li>Ein Klang (anfangs aus): der eigene Ereignisklang des Desktops für eine verlorene und
eine wiederhergestellte Verbindung, aus seinem Klangthema.</li>
</ul>
<h2>Der Dialog Alarme</h2>
<p><b>Optionen &gt; Alarme...</b> öffnet ihn.</p>
<table border="1" cellpadding="3">
<tr><th>Einstellung</th><th>Bereich</th><th>Vorgabe</th><th>Bedeutung</th></tr>
<tr><td>Ausgefallen nach</td><td>1 bis 100</td><td>3</td><td>fehlgeschlagene Anforderungen in Folge, nach denen ein Host ausgefallen ist</td></tr>
<tr><td>Wieder erreichbar nach</td><td>1 bis 100</td><td>2</td><td>Antworten in Folge, nach denen er wieder erreichbar ist</td></tr>
<tr><td>Langsam über</td><td>0 (aus) bis 60000 ms</td><td>aus</td><td>ein Host, dessen letzte Antworten (so
viele wie bei „Wieder erreichbar nach“) alle länger dauerten, gilt als langsam; er gilt
weiter als erreichbar</td></tr>
<tr><td>Desktop-Benachrichtigungen anzeigen</td><td>an, aus</td><td>an</td><td>Benachrichtigungen wie oben</td></tr>
<tr><td>Klang des Desktops abspielen</td><td>an, aus</td><td>aus</td><td>der Ereignisklang wie oben</td></tr>
<tr><td>Im Infobereich weiterlaufen...</td><td>an, aus</td><td>aus</td><td>Schließen des Fensters während
eines Laufs blendet es aus und lässt das Programm im Infobereich; Anzeigen im Menü des
Infobereichs holt es zurück, Beenden beendet das Programm. Aus beendet das Schließen des
Fensters das Programm wie immer. Es wirkt nur, wo der Desktop Symbole im Infobereich zeigt.</td></tr>
</table>
<p><b>OK</b> speichert die Auswahl in der Einstellungsdatei, Abschnitt
<code>Settings\\Alerts</code> (DownAfter, UpAfter, SlowMs, Notify, Sound, KeepInTray), und
wendet sie sofort an. <b>Abbrechen</b> behält die bisherige. <b>Hilfe</b> (oder F1) öffnet
diese Seite.</p>
""")

PAGES["cmdline"] = ("Die Befehlszeile", """
<pre>tapper [Schalter] [Host ...]</pre>
<p>Einfache Argumente sind Hostnamen oder Adressen; sie kommen in die Hosteingabe. Die
Schalter ändern die Einstellungen nur für diesen Lauf; sie werden nicht gespeichert. Die
Zahl muss direkt am Buchstaben stehen: <code>-w2000</code> setzt die Zeitüberschreitung auf
2000 ms, <code>-w 2000</code> dagegen setzt sie auf 0 und fügt einen Host namens 2000 hinzu.
Ein Schalter beginnt mit <code>-</code> oder <code>/</code>; nur Kleinbuchstaben zählen, andere
werden übergangen. Die Werte werden nicht gegen die Bereiche des Optionsdialogs geprüft.</p>
<table border="1" cellpadding="3">
<tr><th>Schalter</th><th>Wirkung</th></tr>
<tr><td><code>-a</code></td><td>den Lauf sofort mit den Hosts der Befehlszeile starten</td></tr>
<tr><td><code>-d</code><i>N</i></td><td>Pause zwischen zwei Anforderungen an einen Host, in ms</td></tr>
<tr><td><code>-f</code></td><td>IP-Flags-Wert 1 für diesen Lauf (das Don't-Fragment-Bit ist der Flag-Wert 2, nur in der Einstellungsdatei setzbar)</td></tr>
<tr><td><code>-i</code><i>N</i></td><td>Lebensdauer (0 bis 255; größere Zahlen behalten ihre unteren 8 Bits)</td></tr>
<tr><td><code>-l</code><i>N</i></td><td>Datengröße in Bytes</td></tr>
<tr><td><code>-p</code><i>N</i></td><td>Versuche der Namensauflösung</td></tr>
<tr><td><code>-t</code><i>N</i></td><td>Abfrageintervall der Ansichten, in ms</td></tr>
<tr><td><code>-v</code><i>N</i></td><td>Dienstart (TOS, 0 bis 255)</td></tr>
<tr><td><code>-w</code><i>N</i></td><td>Zeitüberschreitung für Antworten, in ms</td></tr>
</table>
<p><code>--hosts-file=</code><i>Pfad</i> fügt die Hosts einer Host-Listendatei (siehe
<a href="mainwindow.html#files">Host-Listen und Ergebnisse</a>; <code>-</code> liest die
Standardeingabe) nach denen der Befehlszeile hinzu. <code>--export=</code><i>Pfad</i> schreibt
die Statistik und jedes Ereignis nach <i>Pfad</i> (JSON-Zeilen bei einem Namen auf
<code>.json</code>, sonst CSV), sobald ein Lauf endet und wenn das Fenster während eines Laufs
geschlossen wird, für unbeaufsichtigte Läufe mit <code>-a</code>.</p>
<p>Beispiel: <code>tapper -a -d500 -l1400 -w1000 192.0.2.1 198.51.100.7</code> startet sofort und
pingt beide Hosts jede halbe Sekunde mit 1400 Bytes Daten.</p>
<h2>Schalter der Installation</h2>
<p>Die Paketskripte rufen das Programm mit den Registrierungsschaltern auf: <code>/Register /lan
<i>Code</i></code> schreibt die Sprache des Benutzers (zum Beispiel <code>de_de</code>),
<code>/regtool</code> trägt das Programm als Werkzeug des begleitenden Netzwerkanalysators ein
und <code>/autocheckupdate</code> schaltet die Online-Funktionen ein. <code>/Unregister</code>
entfernt die Einstellungen des Programms, <code>/unregtool</code> zusätzlich den
Werkzeugeintrag. Diese Aufrufe öffnen nie ein Fenster.</p>
<p>Dieselben Schalter gelten im <a href="console.html">Konsolenmodus</a>.</p>
""")

PAGES["console"] = ("Der Konsolenmodus", """
<pre>tapper --console [--count=N] [Schalter] Host ...</pre>
<p>Der Konsolenmodus pingt ohne Fenster, für Server, Skripte und entfernte Shells. Er gibt
jedes Ereignis sofort als Zeile in der klassischen Form der
<a href="loglist.html">Protokollliste</a> aus und am Ende die acht
<a href="stattree.html">Statistik</a>zeilen jedes Hosts. Er endet mit Strg+C, mit SIGTERM
oder nach <i>N</i> Anforderungen je Host, wenn <code>--count=N</code> angegeben ist.
<code>tapper --help</code> zeigt eine kurze Anleitung.</p>
<p>Die <a href="cmdline.html">Schalter</a> sind die der Fensterversion; alles nicht Angegebene
kommt aus der Einstellungsdatei. Hosts werden durch Leerzeichen, Kommas oder Semikolons
getrennt. <code>--hosts-file=</code><i>Pfad</i> fügt die Hosts einer Host-Listendatei danach an.</p>
<h2>Rückgabewert</h2>
<table border="1" cellpadding="3">
<tr><td>0</td><td>jeder Host hat mindestens einmal geantwortet</td></tr>
<tr><td>1</td><td>ein Host hat keine Antwort gegeben</td></tr>
<tr><td>2</td><td>der Lauf konnte nicht starten: kein Host, ungültiger Hosttext oder kein ICMP-Dienst (siehe <a href="icmp.html">ICMP-Berechtigungen</a>)</td></tr>
</table>
<h2>Beispiele</h2>
<pre>tapper --console --count=4 127.0.0.1
tapper --console --count=10 -d200 -w300 gw1.example.net gw2.example.net || echo "ein Gateway schweigt"</pre>
""")

PAGES["icmp"] = ("ICMP-Berechtigungen", """
<p>Zum Senden von Echoanforderungen öffnet das Programm zuerst einen <b>unprivilegierten
ICMP-Datagramm-Socket</b>. Linux erlaubt das jedem Prozess, dessen Gruppe im Bereich der
Kerneleinstellung <code>net.ipv4.ping_group_range</code> liegt. Nur wenn das scheitert,
versucht es einen Raw-ICMP-Socket, der root oder die Capability <code>CAP_NET_RAW</code>
braucht. Geht beides nicht, meldet die Fensterversion „Das Netzwerk kann nicht gestartet
werden. Die Anwendung wird beendet.“, und der Konsolenmodus endet mit dem Wert 2.</p>
<h2>Bereich prüfen und setzen</h2>
<pre>sysctl net.ipv4.ping_group_range</pre>
<p>Der Wert <code>1 0</code> (ein leerer Bereich, die Voreinstellung des Kernels) erlaubt
niemandem etwas. So erlauben Sie es allen Benutzern:</p>
<pre>sudo sysctl -w net.ipv4.ping_group_range="0 2147483647"
echo 'net.ipv4.ping_group_range = 0 2147483647' | sudo tee /etc/sysctl.d/60-ping-group.conf</pre>
<p>Die zweite Zeile erhält die Einstellung über Neustarts hinweg. Um nur eine Gruppe
zuzulassen, geben Sie ihre Gruppennummer zweimal an, zum Beispiel <code>"1001 1001"</code>
(siehe <code>getent group <i>Name</i></code>). Jeder Netzwerk-Namespace und damit jeder
Container hat seinen eigenen Wert.</p>
<h2>Warum weder eine Capability noch ein Set-UID-Bit nötig ist</h2>
<p>Bei einem ICMP-Datagramm-Socket schreibt der Kernel den ICMP-Kopf, wählt die Kennung,
berechnet die Prüfsumme und gibt dem Programm nur die Antworten, die zu seinem eigenen
Socket gehören. Lebensdauer, Dienstart und Don't-Fragment-Bit sind gewöhnliche
Socketoptionen. Das Programm muss nie fremden Verkehr lesen oder fälschen und braucht
deshalb keinerlei Privileg.</p>
<p>Mit <code>CAP_NET_RAW</code> oder einem Set-UID-root-Bit dürfte dagegen ein großes
grafisches Programm, das Namen, Netzwerkantworten und Dateien auswertet, jedes ICMP-Paket
des Rechners lesen und beliebige senden; ein Fehler in irgendeiner geladenen Bibliothek
liefe dann mit diesem Privileg. Qt verweigert außerdem den Start eines Set-UID-Programms.
Setzen Sie stattdessen den Ping-Gruppenbereich; er gewährt genau das, was ein Ping
braucht.</p>
""")

PAGES["troubleshooting"] = ("Fehlersuche", """
<h2>„Das Netzwerk kann nicht gestartet werden. Die Anwendung wird beendet.“</h2>
<p>Es ließ sich kein ICMP-Socket öffnen. Erlauben Sie unprivilegiertes ICMP wie unter
<a href="icmp.html">ICMP-Berechtigungen</a> beschrieben. In einem Container gilt die
Einstellung des Netzwerk-Namespace des Containers.</p>
<h2>„Ungültiger Hostname oder ungültige IP-Adresse.“</h2>
<p>Der Hosttext enthält ein nicht erlaubtes Zeichen (siehe <a href="mainwindow.html">das
Hauptfenster</a>); meist ist es ein Doppelpunkt wie in einer IPv6-Adresse oder einer URL.
Geben Sie nur Namen oder IPv4-Adressen ein.</p>
<h2>„Der Hostname konnte nicht in eine IP-Adresse aufgelöst werden.“ (IP-Fehler.)</h2>
<p>Der Name hat keine IPv4-Adresse, oder der Namensdienst hat nicht geantwortet. Prüfen Sie
<code>getent ahostsv4 <i>Name</i></code>. Die Option „Adressauflösung“ legt fest, wie oft
das Programm es versucht.</p>
<h2>„Zeitüberschreitung der Anforderung.“ (Zeitüberschreitung.)</h2>
<ul>
<li>Der Host oder eine Firewall verwirft ICMP-Echoanforderungen oder -antworten.</li>
<li>Die Antwort ist langsamer als die Ping-Zeitüberschreitung; erhöhen Sie sie in den
<a href="options.html">Optionen</a> (bis 2000 ms) oder mit <code>-w</code>.</li>
<li>Große Pakete mit Don't-Fragment-Bit überschreiten die MTU des Pfades; verkleinern Sie
die Paketgröße.</li>
<li>Die Lebensdauer ist für den Pfad zu klein; dann erscheint stattdessen eine
ICMP-Antwort „Zeit überschritten“ als Status der Anforderung.</li>
</ul>
<h2>Die Protokollliste bleibt leer</h2>
<p>Die Protokollliste zeigt nur den aktuellen Host. Wählen Sie einen Host im
<a href="stattree.html">Statistikbaum</a>.</p>
<h2>Das Programm ist englisch, obwohl eine andere Sprache gewählt wurde</h2>
<p>Das Sprachmodul <code>mui/<i>Code</i>/OvPingRes.so</code> neben dem Programm fehlt, ist für
eine andere Sprache oder gehört zu einer anderen Programmversion; das Programm meldet das
beim Start und läuft englisch weiter. Installieren Sie das Paket neu.</p>
<h2>Chinesischer Text erscheint als Kästchen</h2>
<p>Es ist keine CJK-Schrift installiert. Installieren Sie eine, zum Beispiel das Debian-Paket
<code>fonts-wqy-microhei</code>.</p>
<h2>Der Bereich „Online-Ressourcen“ ist leer, oder die Suche nach Aktualisierungen scheitert</h2>
<p>Bereich und automatische Prüfung gibt es nur, wenn die Online-Funktionen bei der
Installation eingeschaltet wurden. Ohne Verbindung zur Website zeigt der Bereich die mit
dem Programm installierte Kopie. Die Suche nach Aktualisierungen gibt nach 15 Sekunden auf
und sagt warum; sie bremst das Fenster nie.</p>
<h2>Zurück zu den Voreinstellungen</h2>
<p>Öffnen Sie die <a href="options.html">Optionen</a>, drücken Sie „Standardwerte“ und dann OK.
Dienstart und Flags behalten ihre Werte; entfernen Sie den Abschnitt <code>Icmp</code> aus
<code>~/.config/orvantek/user.reg</code>, um auch sie zurückzusetzen.</p>
""")

WEBSITE = ("Orvantek Ping Tool – Online-Ressourcen", """
<p>Dies ist die mit dem Programm installierte Kopie der Seite „Online-Ressourcen“. Sie
erscheint, wenn die Website des Herstellers nicht erreichbar ist.</p>
<h2>Erste Schritte</h2>
<ul>
<li>Geben Sie einen oder mehrere Hostnamen oder IPv4-Adressen in die Hosteingabe ein,
getrennt durch Leerzeichen, Kommas oder Semikolons, und drücken Sie <b>Ping starten</b>.</li>
<li>Wählen Sie einen Host im Statistikbaum, um seinen Ereignissen in der Protokollliste zu
folgen.</li>
<li>Lücken im Diagramm sind verlorene Anforderungen.</li>
<li>Drücken Sie <b>F1</b> für das Handbuch, unter anderem dazu, wie Benutzer ohne root pingen
dürfen (<code>net.ipv4.ping_group_range</code>).</li>
</ul>
<h2>Mehr</h2>
<p>Sobald Sie wieder online sind, öffnen <b>Hilfe &gt; Orvantek-Homepage</b> und <b>Hilfe &gt;
Offizielles Orvantek-Supportforum</b> die Seiten des Herstellers in Ihrem Webbrowser, und
<b>Hilfe &gt; Nach neuer Version suchen...</b> sucht nach einer neueren Version.</p>
""")
