// What a person at the screen sees of the album page and does with it; every scenario of this
// folder starts with this file.
function centre(e) { return [e.x + (e.width >> 1), e.y + (e.height >> 1)]; }
function clickOn(e) {
    if (!e)
        throw new Error("clickOn: nothing there");
    var p = centre(e);
    click(p[0], p[1]);
}
function childrenOf(e, className) {
    return e.children.filter(function (c) { return c.className === className; });
}
function isOpen(hwnd) {
    return windows().some(function (w) { return w.hwnd === hwnd && w.visible; });
}
function waitClosed(hwnd, ms) {
    waitFor(function () { return !isOpen(hwnd); }, ms || 10000);
}

// The panel's elements, in the order the control describes them.
function panel() {
    var root = elements(control("up"));
    var c = root.children;
    return {
        root: root, list: c[0], tiles: childrenOf(c[0], "ListViewPostItem"),
        add: c[1], post: c[2], selectAll: c[3], largeAdd: c[4], hint: c[5],
        edit: c[6], rotateLeft: c[7], rotateRight: c[8], remove: c[9],
        status: c[10], time: c[11], speed: c[12]
    };
}
function tileNames() { return panel().tiles.map(function (t) { return t.text; }).join(","); }
function look() {
    var p = panel();
    return "list " + (p.list.visible ? "shown" : "hidden") + ", large add " + (p.largeAdd.visible ? "shown" : "hidden") +
           ", add " + (p.add.disabled ? "off" : "on") + ", post " + (p.post.disabled ? "off" : "on") +
           ", time " + (p.time.visible ? "shown" : "hidden") + ", speed " + (p.speed.visible ? "shown" : "hidden");
}

// Every distinct status text seen, in order.
var statuses = [];
function noteStatus() {
    var text = panel().status.text;
    if (statuses[statuses.length - 1] !== text)
        statuses.push(text);
    return text;
}
function waitStatus(text, ms) { waitFor(function () { return noteStatus() === text; }, ms || 15000); }
function waitPostable(ms) { waitFor(function () { return !panel().post.disabled; }, ms || 15000); }

function pictures() { return page("host.getenv('ALBUM_PICTURES')").split("\n"); }
function shots() { return page("host.getenv('ALBUM_SHOTS')"); }
function dropOnPanel(paths) {
    var root = panel().root;
    drop(paths, root.x + (root.width >> 1), root.y + (root.height >> 1));
    waitIdle(10000);
}
