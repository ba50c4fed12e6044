// Adds two of the three pictures of a desktop folder through the add dialog and posts them.
var pw = waitWindow("相册上传", 10000);
log("start: " + look());

clickOn(panel().add);
var dialog = waitWindow("添加图片", 10000);
waitIdle(10000);
clickOn(find(dialog, "相册"));
waitIdle(10000);
function choices() {
    var list = childrenOf(elements(dialog), "ListView")[0];
    return childrenOf(list, "ListViewSelectItem");
}
waitFor(function () { return choices().length === 3 && choices().every(function (t) { return t.loaded; }); }, 15000);
clickOn(choices()[0]);
clickOn(choices()[2]);
waitIdle(10000);
log("dialog: " + choices().map(function (t) { return t.text + (t.checked ? "+" : "-"); }).join(" ") + ", " +
    childrenOf(elements(dialog), "Label").map(function (l) { return l.text; })[0]);
screenshot(shots() + "/add-dialog.png", dialog);
clickOn(childrenOf(elements(dialog), "Button")[0]);  // confirm
waitClosed(dialog);

waitPostable();
log("added: " + tileNames() + "; " + look());
screenshot(shots() + "/panel-tiles.png", pw);

noteStatus();
clickOn(panel().post);
waitStatus("所有图片已上传完毕");
waitFor(function () { return page("album.calls") > 0; }, 10000);
sleep(300);  // a second call would come now
log("statuses: " + statuses.join(" | "));
log("callback: " + page("album.calls") + " call(s), with the page's object " + page("album.sameObject") + ", answers " +
    page("album.answers.join(',')"));
log("end: " + look() + ", " + panel().tiles.length + " tile(s)");
