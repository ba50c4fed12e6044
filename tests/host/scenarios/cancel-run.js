// The post button pressed again during a run: Cancel lets the run go on, OK stops it.
var pw = waitWindow("相册上传", 10000);
dropOnPanel(pictures());
waitPostable();
clickOn(panel().post);
waitStatus("正在上传第1/3张图片");
log("running: " + look());

function askToCancel() {
    clickOn(panel().post);
    var question = waitWindow("取消上传", 10000);
    log("asked: " + (find(question, "照片正在上传中，确定取消上传吗？") !== null));
    return question;
}
var question = askToCancel();
clickOn(childrenOf(elements(question), "Button")[1]);  // 取消
waitClosed(question);
waitStatus("正在上传第2/3张图片");
log("went on: " + statuses.join(" | "));

question = askToCancel();
clickOn(childrenOf(elements(question), "Button")[0]);  // 确定
waitClosed(question);
waitIdle(10000);
sleep(3500);  // longer than the receiver takes to answer a picture
noteStatus();
log("stopped: " + look() + ", status " + statuses[statuses.length - 1]);
log("tiles: " + panel().tiles.map(function (t) { return t.text + (t.uploaded ? " sent" : " unsent"); }).join(", "));
log("callback: " + page("album.calls") + ", answers " + page("up.GetPostedFiles().join(',')"));
