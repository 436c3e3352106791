"""The items a description writes from its fields (not from "hex"), found for the fault variants."""


def first_written_item(description, types):
    """(chunk index, item index, item) of the first HIRC item whose "type" is one of types (a type
    name or its number) and that is not given as hex; None when there is none."""
    for chunk_index, chunk in enumerate(description.get("chunks", [])):
        if chunk.get("tag") != "HIRC":
            continue
        for item_index, item in enumerate(chunk.get("items", [])):
            if item.get("type") in types and "hex" not in item:
                return chunk_index, item_index, item
    return None
